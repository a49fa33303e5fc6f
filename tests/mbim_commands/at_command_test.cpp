// The AT tunnel: request bytes, reply text, what is printed and logged.
#include "mbim_commands/at_command.h"

#include <gtest/gtest.h>

#include "capture_log.h"
#include "command_fixture.h"
#include "fake_transport.h"
#include "mbim_format/transaction_id.h"

namespace {

using fake_transport::command_done;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class AtCommand : public command_test::CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    tessel::set_transaction_counter(0);
  }
};

std::vector<uint8_t> with_prefix(const std::string& text) {
  std::vector<uint8_t> info(4 + text.size(), 0);  // leading word, then the text
  std::copy(text.begin(), text.end(), info.begin() + 4);
  return info;
}

TEST_F(AtCommand, RequestCarriesAZeroWordThenTheCommandBytes) {
  fake_transport::push({{}, command_done(1, 0, with_prefix("\r\nOK\r\n"))});
  CaptureStdout();
  const char* reply = nullptr;
  ASSERT_TRUE(tessel::mbim_send_at("AT", &reply).ok());
  EXPECT_EQ(GetCapturedStdout(), "Send > AT\nRecv < \r\nOK\r\n\n");
  auto req = fake_transport::requests().at(0);
  ASSERT_EQ(req.size(), 54u);
  EXPECT_EQ(req[4], 54);  // MessageLength
  const std::vector<uint8_t> service = {0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,
                                        0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83};
  EXPECT_EQ(std::vector<uint8_t>(req.begin() + 20, req.begin() + 36), service);
  EXPECT_EQ(req[36], 8);  // CID
  EXPECT_EQ(req[40], 1);  // set
  EXPECT_EQ(req[44], 6);  // InformationBufferLength
  EXPECT_EQ(std::vector<uint8_t>(req.begin() + 48, req.end()),
            (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x41, 0x54}));
  EXPECT_STREQ(reply, "\r\nOK\r\n");
  const std::vector<std::string> logged = {"[tessel] Send > AT\n", "[tessel] Recv < \r\nOK\r\n\n"};
  EXPECT_EQ(capture_log::texts(), logged);
}

TEST_F(AtCommand, AnEmptyCommandSendsTheBareWord) {
  fake_transport::push({{}, command_done(1, 0, {})});
  CaptureStdout();
  ASSERT_TRUE(tessel::mbim_send_at("", nullptr).ok());
  GetCapturedStdout();
  auto req = fake_transport::requests().at(0);
  EXPECT_EQ(req.size(), 52u);
  EXPECT_EQ(req[44], 4);
}

TEST_F(AtCommand, ReplyIsTheTextAfterTheLeadingWordUpToItsFirstNulOrItsEnd) {
  std::vector<uint8_t> with_nul = with_prefix("OK");
  with_nul.push_back(0);
  with_nul.push_back('X');
  struct Case {
    const char* what;
    std::vector<uint8_t> info;
    int64_t claimed;      // InformationBufferLength, when it lies
    const char* printed;  // standard output after "Send > AT\n"
    const char* reply;    // nullptr: none handed back
  };
  const Case cases[] = {
      {"stops at its first NUL", with_nul, -1, "Recv < OK\n", "OK"},
      {"runs to the answer's end", with_prefix("0123456789"), -1, "Recv < 0123456789\n",
       "0123456789"},
      {"claims 4000 bytes, holds 6", with_prefix("OK"), 4000, "Recv < OK\n", "OK"},
      {"4 bytes: the leading word alone", std::vector<uint8_t>(4, 0x41), -1, "Recv < \n", ""},
      {"3 bytes", std::vector<uint8_t>(3, 0x41), -1, "Recv < \n", ""},
      {"1 byte", std::vector<uint8_t>(1, 0x41), -1, "Recv < \n", ""},
      {"empty answer: no Recv line", {}, -1, "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake_transport::push({{}, command_done(1, 0, c.info, c.claimed)});
    CaptureStdout();
    const char* reply = "stale";
    ASSERT_TRUE(tessel::mbim_send_at("AT", &reply).ok());
    EXPECT_EQ(GetCapturedStdout(), std::string("Send > AT\n") + c.printed);
    if (c.reply == nullptr) {
      EXPECT_EQ(reply, nullptr);
    } else {
      ASSERT_NE(reply, nullptr);
      EXPECT_STREQ(reply, c.reply);
    }
  }
}

TEST_F(AtCommand, FailuresPrintOnlyTheSendLine) {
  fake_transport::push({tessel::Code::kTimedOut, {}});
  fake_transport::push({{}, command_done(2, 2, with_prefix("ERROR"))});
  CaptureStdout();
  const char* reply = "stale";
  EXPECT_EQ(tessel::mbim_send_at("AT", &reply).code, tessel::Code::kTimedOut);
  EXPECT_EQ(reply, nullptr);
  EXPECT_EQ(tessel::mbim_send_at("AT", &reply).mbim_status, 2u);
  EXPECT_EQ(GetCapturedStdout(), "Send > AT\nSend > AT\n");
  EXPECT_EQ(capture_log::with_format("[tessel] err=%d, Status=%d").size(), 2u);
}

}  // namespace

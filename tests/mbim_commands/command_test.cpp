// The common command pattern, against a scripted transport.
#include "mbim_commands/command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_log.h"
#include "command_fixture.h"
#include "fake_transport.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/transaction_id.h"
#include "byte_order/byte_order.h"

namespace {

using fake_transport::command_done;
using tessel::Answer;
using tessel::CommandSpec;
using tessel::run_command;

class Command : public command_test::CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    tessel::set_transaction_counter(0);
  }
};

const uint8_t kEnableOn[] = {0x00, 0x12};

CommandSpec set_enable() {
  return CommandSpec{tessel::kUuidQmbe, 21, 1, kEnableOn, 2};
}

TEST_F(Command, SendsTheBuiltRequestWithItsTimeoutAndHandsOverTheAnswer) {
  fake_transport::push({{}, command_done(1, 0, {0x01, 0x02, 0x03, 0x04})});
  Answer answer;
  ASSERT_TRUE(run_command(set_enable(), &answer).ok());
  auto requests = fake_transport::requests();
  ASSERT_EQ(requests.size(), 1u);
  ASSERT_EQ(requests[0].size(), 50u);
  EXPECT_EQ(requests[0][36], 21);    // CID
  EXPECT_EQ(requests[0][40], 1);     // CommandType: set
  EXPECT_EQ(requests[0][48], 0x00);  // InformationBuffer 00 12
  EXPECT_EQ(requests[0][49], 0x12);
  EXPECT_EQ(fake_transport::timeouts(), std::vector<uint32_t>{30});
  ASSERT_EQ(answer.length, 4u);
  EXPECT_EQ(answer.info, answer.response.get() + 48);
  EXPECT_EQ(tessel::get_le32(answer.info), 0x04030201u);
  EXPECT_TRUE(capture_log::records().empty());
}

TEST_F(Command, AnAnswerIsReadOnlyAsFarAsTheResponseGoes) {
  // InformationBufferLength claims 4000 bytes; the response carries 3.
  fake_transport::push({{}, command_done(1, 0, {0xAA, 0xBB, 0xCC}, 4000)});
  Answer answer;
  ASSERT_TRUE(run_command(set_enable(), &answer).ok());
  EXPECT_EQ(answer.length, 3u);
}

TEST_F(Command, ATransportFailureIsLoggedAndReturned) {
  fake_transport::push({tessel::Code::kTimedOut, {}});
  Answer answer;
  EXPECT_EQ(run_command(set_enable(), &answer).code, tessel::Code::kTimedOut);
  auto r = capture_log::with_format("[tessel] err=%d, Status=%d");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].values, (std::vector<uint32_t>{110, 0}));
  EXPECT_EQ(r[0].level, 2u);
  EXPECT_EQ(r[0].call, capture_log::Call::kSend2);
  EXPECT_FALSE(answer.response);
}

TEST_F(Command, ARefusalReturnsItsStatusAfterItsName) {
  fake_transport::push({{}, command_done(1, 2, {0x01, 0x02, 0x03, 0x04})});
  Answer answer;
  const tessel::Status refused = run_command(set_enable(), &answer);
  EXPECT_EQ(refused.code, tessel::Code::kModemStatus);
  EXPECT_EQ(refused.mbim_status, 2u);
  const std::vector<std::string> expected = {
      "[tessel] MBIM_COMMAND_DONE status: (FAILURE)",
      "[tessel] err=0, Status=2",
  };
  EXPECT_EQ(capture_log::texts(), expected);
  EXPECT_EQ(answer.info, nullptr);
}

TEST_F(Command, AFunctionErrorIsHandledLikeAResponse) {
  // Whatever its ErrorStatusCode, a function error refuses the command; a
  // code of 0 must not read as success.
  struct Case {
    uint32_t code;
    int result;  // as the records show it
    std::vector<std::string> records;
  };
  const Case cases[] = {
      {5, 5, {"[tessel] MBIM_FUNCTION_ERROR_MSG status: (NOT_OPENED)", "[tessel] err=0, Status=5"}},
      {0, 71, {"[tessel] MBIM_FUNCTION_ERROR_MSG status: (UNKNOW_0)", "[tessel] err=71, Status=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    capture_log::clear();
    std::vector<uint8_t> error(16, 0);
    tessel::put_le32(&error[0], 0x80000004);  // MBIM_FUNCTION_ERROR_MSG
    tessel::put_le32(&error[4], 16);          // MessageLength
    tessel::put_le32(&error[8], 1);           // TransactionId
    tessel::put_le32(&error[12], c.code);     // ErrorStatusCode
    fake_transport::push({{}, error});
    Answer answer;
    const tessel::Status refused = run_command(set_enable(), &answer);
    EXPECT_EQ(refused.code, tessel::Code::kFunctionError);
    EXPECT_EQ(tessel::legacy_result(refused), c.result);
    EXPECT_EQ(capture_log::texts(), c.records);
    EXPECT_FALSE(answer.response);
  }
}

TEST_F(Command, AResponseTooShortForItsStatusFailsInsteadOfPassingAsSuccess) {
  auto done = command_done(1, 0, {});
  done.resize(40);
  tessel::put_le32(&done[4], 40);
  fake_transport::push({{}, done});
  Answer answer;
  EXPECT_EQ(run_command(set_enable(), &answer).code, tessel::Code::kMalformedAnswer);
  EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] err=-1, Status=0"});
}

TEST_F(Command, ADoneCutInsideItsHeaderFailsEvenWithStatusSuccess) {
  // Status 0 is there, InformationBufferLength (offset 44) is not.
  for (size_t cut : {44u, 47u}) {
    capture_log::clear();
    auto done = command_done(1, 0, {'O', 'K'});
    done.resize(cut);
    tessel::put_le32(&done[4], static_cast<uint32_t>(cut));  // MessageLength
    fake_transport::push({{}, done});
    Answer answer;
    EXPECT_EQ(run_command(set_enable(), &answer).code, tessel::Code::kMalformedAnswer)
        << cut << " bytes";
    EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] err=-1, Status=0"});
  }
  // The whole header without data is an empty answer, not a failure.
  fake_transport::push({{}, command_done(1, 0, {})});
  Answer answer;
  EXPECT_TRUE(run_command(set_enable(), &answer).ok());
  EXPECT_EQ(answer.info, nullptr);
  EXPECT_EQ(answer.length, 0u);
}

TEST_F(Command, TheApplyCommandCountsADeadlineAsSuccessWithoutARecord) {
  CommandSpec apply = set_enable();
  apply.timeout_s = 3;
  apply.timeout_is_success = true;
  fake_transport::push({tessel::Code::kTimedOut, {}});
  EXPECT_TRUE(run_command(apply, nullptr).ok());
  EXPECT_EQ(fake_transport::timeouts(), std::vector<uint32_t>{3});
  EXPECT_TRUE(capture_log::records().empty());
  // Any other failure still counts.
  fake_transport::push({tessel::Code::kNoChannel, {}});
  EXPECT_EQ(run_command(apply, nullptr).code, tessel::Code::kNoChannel);
}

// A 16-byte MBIM_OPEN_DONE (0x80000001) or MBIM_FUNCTION_ERROR_MSG
// (0x80000004): header, then Status or ErrorStatusCode at 12. The scripted
// transport writes the request's TransactionId into it.
std::vector<uint8_t> word_answer(uint32_t type, uint32_t word) {
  std::vector<uint8_t> m(16, 0);
  tessel::put_le32(&m[0], type);
  tessel::put_le32(&m[4], 16);
  tessel::put_le32(&m[12], word);
  return m;
}

// A modem just plugged in refuses every command with NOT_OPENED (5) until
// its MBIM function is opened. On the device node the command opens it and
// goes again once, under a new TransactionId, each wait as long as the
// command's; when the open fails or the modem refuses again, the refusal
// fails the command as it always did. Through the proxy, which opens the
// device itself, nothing is opened.
TEST_F(Command, ANotOpenedRefusalOpensTheFunctionOnceOnTheDeviceNodeOnly) {
  using tessel::Road;
  const std::string kOpening = "[tessel] the modem's MBIM function was closed; opening it";
  const std::string kOpen = "[tessel] the modem's MBIM function is open; sending the command again";
  const std::vector<std::string> kRefused = {"[tessel] MBIM_FUNCTION_ERROR_MSG status: (NOT_OPENED)",
                                             "[tessel] err=0, Status=5"};
  const auto open_done = [](uint32_t status) { return word_answer(0x80000001, status); };
  const auto not_opened = [] { return word_answer(0x80000004, 5); };
  struct Case {
    const char* what;
    Road road;
    std::vector<std::vector<uint8_t>> after_refusal;  // the answers to the open and the resend
    int result;
    size_t sent;  // requests: the command, the open, the command again
    std::vector<std::string> records;
  };
  auto then_refused = [&](std::vector<std::string> r) {
    r.insert(r.end(), kRefused.begin(), kRefused.end());
    return r;
  };
  const Case cases[] = {
      {"opened, then answered", Road::kDeviceNode, {open_done(0), command_done(0, 0, {})}, 0, 3,
       {kOpening, kOpen}},
      {"the open refused with FAILURE", Road::kDeviceNode, {open_done(2)}, 5, 2,
       then_refused({kOpening, "[tessel] the modem's MBIM function did not open: err=0, Status=2"})},
      {"the open unanswered", Road::kDeviceNode, {}, 5, 2,
       then_refused({kOpening, "[tessel] the modem's MBIM function did not open: err=110, Status=0"})},
      {"refused again after the open", Road::kDeviceNode, {open_done(0), not_opened()}, 5, 3,
       then_refused({kOpening, kOpen})},
      {"through the proxy's socket", Road::kAbstractSocket, {open_done(0)}, 5, 1, kRefused},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fake_transport::reset();
    capture_log::clear();
    tessel::set_transaction_counter(0);
    fake_transport::set_road(c.road);
    fake_transport::push({{}, not_opened(), true});
    for (const auto& a : c.after_refusal) fake_transport::push({{}, a, true});
    CommandSpec cmd = set_enable();
    cmd.timeout_s = 7;
    Answer answer;
    EXPECT_EQ(tessel::legacy_result(run_command(cmd, &answer)), c.result);
    EXPECT_EQ(capture_log::texts(), c.records);

    const auto requests = fake_transport::requests();
    ASSERT_EQ(requests.size(), c.sent);
    EXPECT_EQ(fake_transport::timeouts(), std::vector<uint32_t>(c.sent, 7));
    if (c.sent == 1) continue;
    const std::vector<uint8_t> open = {0x01, 0x00, 0x00, 0x00,   // MBIM_OPEN_MSG
                                       0x10, 0x00, 0x00, 0x00,   // MessageLength 16
                                       0x02, 0x00, 0x00, 0x00,   // TransactionId 2
                                       0x00, 0x10, 0x00, 0x00};  // MaxControlTransfer 4096
    EXPECT_EQ(requests[1], open);
    if (c.sent == 3) {
      std::vector<uint8_t> resent = requests[0];
      tessel::put_le32(&resent[8], 3);  // the command again, under the next TransactionId
      EXPECT_EQ(requests[2], resent);
    }
  }
}

}  // namespace

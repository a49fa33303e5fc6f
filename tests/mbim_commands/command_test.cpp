// The common command pattern, against a scripted transport.
#include "mbim_commands/command.h"

#include <gtest/gtest.h>

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
  fake_transport::push({0, command_done(1, 0, {0x01, 0x02, 0x03, 0x04})});
  Answer answer;
  ASSERT_EQ(run_command(set_enable(), &answer), 0);
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
  fake_transport::push({0, command_done(1, 0, {0xAA, 0xBB, 0xCC}, 4000)});
  Answer answer;
  ASSERT_EQ(run_command(set_enable(), &answer), 0);
  EXPECT_EQ(answer.length, 3u);
}

TEST_F(Command, ATransportFailureIsLoggedAndReturned) {
  fake_transport::push({110, {}});
  Answer answer;
  EXPECT_EQ(run_command(set_enable(), &answer), 110);
  auto r = capture_log::with_format("[tessel] err=%d, Status=%d");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].values, (std::vector<uint32_t>{110, 0}));
  EXPECT_EQ(r[0].level, 2u);
  EXPECT_EQ(r[0].call, capture_log::Call::kSend2);
  EXPECT_FALSE(answer.response);
}

TEST_F(Command, ARefusalReturnsItsStatusAfterItsName) {
  fake_transport::push({0, command_done(1, 2, {0x01, 0x02, 0x03, 0x04})});
  Answer answer;
  EXPECT_EQ(run_command(set_enable(), &answer), 2);
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
    int result;
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
    fake_transport::push({0, error});
    Answer answer;
    EXPECT_EQ(run_command(set_enable(), &answer), c.result);
    EXPECT_EQ(capture_log::texts(), c.records);
    EXPECT_FALSE(answer.response);
  }
}

TEST_F(Command, AResponseTooShortForItsStatusFailsInsteadOfPassingAsSuccess) {
  auto done = command_done(1, 0, {});
  done.resize(40);
  tessel::put_le32(&done[4], 40);
  fake_transport::push({0, done});
  Answer answer;
  EXPECT_EQ(run_command(set_enable(), &answer), -1);
  EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] err=-1, Status=0"});
}

TEST_F(Command, ADoneCutInsideItsHeaderFailsEvenWithStatusSuccess) {
  // Status 0 is there, InformationBufferLength (offset 44) is not.
  for (size_t cut : {44u, 47u}) {
    capture_log::clear();
    auto done = command_done(1, 0, {'O', 'K'});
    done.resize(cut);
    tessel::put_le32(&done[4], static_cast<uint32_t>(cut));  // MessageLength
    fake_transport::push({0, done});
    Answer answer;
    EXPECT_EQ(run_command(set_enable(), &answer), -1) << cut << " bytes";
    EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] err=-1, Status=0"});
  }
  // The whole header without data is an empty answer, not a failure.
  fake_transport::push({0, command_done(1, 0, {})});
  Answer answer;
  EXPECT_EQ(run_command(set_enable(), &answer), 0);
  EXPECT_EQ(answer.info, nullptr);
  EXPECT_EQ(answer.length, 0u);
}

TEST_F(Command, TheApplyCommandCountsADeadlineAsSuccessWithoutARecord) {
  CommandSpec apply = set_enable();
  apply.timeout_s = 3;
  apply.timeout_is_success = true;
  fake_transport::push({110, {}});
  EXPECT_EQ(run_command(apply, nullptr), 0);
  EXPECT_EQ(fake_transport::timeouts(), std::vector<uint32_t>{3});
  EXPECT_TRUE(capture_log::records().empty());
  // Any other failure still counts.
  fake_transport::push({-19, {}});
  EXPECT_EQ(run_command(apply, nullptr), -19);
}

}  // namespace

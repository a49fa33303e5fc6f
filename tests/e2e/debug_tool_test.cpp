// debug_tool against the simulated modem: the AT request as the modem
// receives it, the "Send >" / "Recv <" / "UnInit" lines an operator reads,
// the bounds of the AT command, and the modem refusing, staying silent or
// hanging up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

class DebugTool : public ModemTest {
 protected:
  // Starts a modem with `modem_args` and runs debug_tool on it with `args`
  // after "-d <pty>".
  Outcome run(const std::vector<std::string>& modem_args, const std::vector<std::string>& args) {
    modem_ = start_modem(modem_args);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    std::vector<std::string> all = {"--command", "debug_tool", "-d", modem_->path()};
    all.insert(all.end(), args.begin(), args.end());
    return tessel(all);
  }
  std::vector<std::vector<unsigned char>> rx() const { return modem_->rx(); }
  // The one request the modem received; empty when it received another count.
  Bytes only_request() const {
    const auto all = modem_->rx();
    EXPECT_EQ(all.size(), 1u);
    return all.size() == 1 ? Bytes(all[0].begin(), all[0].end()) : Bytes();
  }

  std::unique_ptr<process::Simulator> modem_;
};

TEST_F(DebugTool, AtiGoesOutAsItsBytesAfterAZeroWordAndTheReplyIsPrintedUnchanged) {
  const Outcome r = run({}, {"-a", "ATI"});
  // The simulator's default reply keeps its CR LF pairs; the line adds "\n".
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < \r\nOK\r\n\nUnInit\n");
  EXPECT_EQ(r.result.status, 0);
  const Bytes expected = {
      0x03, 0x00, 0x00, 0x00,  // MessageType: MBIM_COMMAND_MSG
      0x37, 0x00, 0x00, 0x00,  // MessageLength: 55 = 48 + 4 + 3
      0x01, 0x00, 0x00, 0x00,  // TransactionId: the first of the process
      0x01, 0x00, 0x00, 0x00,  // TotalFragments
      0x00, 0x00, 0x00, 0x00,  // CurrentFragment
      0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,  // DeviceServiceId:
      0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83,  //   6427015f-579d-48f5-8c54-f43ed1e76f83
      0x08, 0x00, 0x00, 0x00,  // CID 8
      0x01, 0x00, 0x00, 0x00,  // CommandType: set
      0x07, 0x00, 0x00, 0x00,  // InformationBufferLength: 7
      0x00, 0x00, 0x00, 0x00,  // leading word 0
      'A', 'T', 'I',           // the command: no NUL, no CR, no LF
  };
  EXPECT_EQ(only_request(), expected);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] Send > ATI"));
  // The log drops the reply's trailing line end.
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] Recv < \r\nOK"));
}

TEST_F(DebugTool, CommandTextTravelsUnchangedWithBlanksQuotesAndCase) {
  const std::string command = "at+cgdcont=1,\"IP\",\"my apn\"";
  const Outcome r = run({"--at-reply", "OK"}, {"-a", command});
  EXPECT_EQ(r.result.out, "Send > " + command + "\nRecv < OK\nUnInit\n");
  Bytes info = {0x00, 0x00, 0x00, 0x00};
  info.insert(info.end(), command.begin(), command.end());
  EXPECT_EQ(info_buffer(only_request()), info);
}

TEST_F(DebugTool, ReplyEndsAtItsFirstNul) {
  const Outcome r = run({"--at-reply", "OK\\0junk"}, {"-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < OK\nUnInit\n");
  EXPECT_EQ(r.result.status, 0);
}

TEST_F(DebugTool, ReplyWithoutNulIsTakenWholeToTheEndOfTheAnswer) {
  const Outcome r = run({"--at-reply", "0123456789"}, {"-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < 0123456789\nUnInit\n");
}

TEST_F(DebugTool, AnswerOfOnlyTheLeadingWordPrintsAnEmptyReply) {
  const Outcome r = run({"--at-reply", ""}, {"-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < \nUnInit\n");
}

TEST_F(DebugTool, EmptyAnswerPrintsNoRecvLine) {
  const Outcome r = run({"--at-empty"}, {"-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nUnInit\n");
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(records(r.result.err), Not(Contains(HasSubstr("Recv <"))));
}

TEST_F(DebugTool, RefusedCommandPrintsOnlySendAndUnInitAndLogsTheStatus) {
  const Outcome r = run({"--status", "8:2"}, {"-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nUnInit\n");
  EXPECT_EQ(r.result.status, 0);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] err=0, Status=2"));
  EXPECT_THAT(log, Contains("I src/api [tessel] err=2"));
}

TEST_F(DebugTool, HangUpInsteadOfAnAnswerEndsTheRunAtOnce) {
  const Outcome r = run({"--hangup-at", "1"}, {"-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nUnInit\n");
  EXPECT_EQ(r.result.status, 0);
  EXPECT_LT(r.elapsed.count(), 5000) << "waited for the 30 s timeout instead of the hang-up";
}

TEST_F(DebugTool, EmptyCommandGoesOutAsTheZeroWordAlone) {
  const Outcome r = run({"--at-reply", "ERROR"}, {"-a", ""});
  EXPECT_EQ(r.result.out, "Send > \nRecv < ERROR\nUnInit\n");
  EXPECT_EQ(describe(only_request()), "at 00000000");
}

TEST_F(DebugTool, CommandOf127CharactersIsSentWhole) {
  const std::string command = "AT" + std::string(125, 'Z');
  const Outcome r = run({"--at-reply", "OK"}, {"-a", command});
  EXPECT_EQ(r.result.out, "Send > " + command + "\nRecv < OK\nUnInit\n");
  const Bytes request = only_request();
  ASSERT_EQ(request.size(), 48u + 4u + 127u);
  EXPECT_EQ(Bytes(request.end() - 127, request.end()), Bytes(command.begin(), command.end()));
}

TEST_F(DebugTool, CommandOf128CharactersIsRefusedNamingTheLimitAndNothingIsSent) {
  const std::string command = "AT" + std::string(126, 'Z');
  const Outcome r = run({}, {"-a", command});
  EXPECT_THAT(r.result.out, Not(HasSubstr("Send >")));
  EXPECT_THAT(r.result.err, HasSubstr("127"));
  EXPECT_EQ(r.result.status, 255);
  EXPECT_THAT(rx(), IsEmpty());
}

TEST_F(DebugTool, MissingCommandPrintsUsageAnd255AndSendsNothing) {
  const Outcome r = run({}, {});
  EXPECT_EQ(r.result.out, kDebugToolUsage);
  EXPECT_EQ(r.result.status, 255);
  EXPECT_THAT(rx(), IsEmpty());
}

TEST(DebugToolArguments, MissingDevicePrintsUsageAnd255) {
  const Outcome r = tessel({"--command", "debug_tool", "-a", "ATI"});
  EXPECT_EQ(r.result.out, kDebugToolUsage);
  EXPECT_EQ(r.result.status, 255);
}

// A later -a or -d replaces an earlier one; words that are not options are
// ignored.
TEST_F(DebugTool, RepeatedOptionsKeepTheirLastValue) {
  const Outcome r = run({"--at-reply", "OK"}, {"-a", "AT+FIRST", "stray", "-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < OK\nUnInit\n");
  EXPECT_THAT(describe(rx()), ElementsAre("at 00000000415449"));

  const Outcome again = tessel({"--command", "debug_tool", "-d", "/nonexistent/device", "-d",
                            modem_->path(), "-a", "ATE0"});
  EXPECT_EQ(again.result.out, "Send > ATE0\nRecv < OK\nUnInit\n");
}

}  // namespace
}  // namespace e2e

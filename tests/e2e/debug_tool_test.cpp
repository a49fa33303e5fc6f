// debug_tool against the simulated modem: the "Send >" / "Recv <" /
// "UnInit" lines an operator reads and the AT request the modem receives,
// the bounds of the AT command, and the modem refusing. The request's layout
// and the reply's cuts are checked byte for byte by the AT tunnel's unit
// tests, a hang-up by the transport's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

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
  std::vector<std::string> requests() const { return describe(modem_->rx()); }

  std::unique_ptr<process::Simulator> modem_;
};

TEST_F(DebugTool, OperatorSeesTheExchangeAndTheModemGetsTheCommandAfterAZeroWord) {
  struct Case {
    const char* what;
    std::vector<std::string> modem_args;
    std::string command;
    std::string out;
    std::string request;
    std::vector<std::string> records;  // among the log records
  };
  const std::vector<Case> cases = {
      // The simulator's default reply keeps its CR LF pairs; the line adds
      // "\n", the log drops the reply's trailing line end.
      {"default reply", {}, "ATI", "Send > ATI\nRecv < \r\nOK\r\n\nUnInit\n", "at 00000000415449",
       {protocol_record("[tessel] Send > ATI"), protocol_record("[tessel] Recv < \r\nOK")}},
      {"blanks, quotes and case travel unchanged", {"--at-reply", "OK"},
       "at+cgdcont=1,\"IP\",\"my apn\"", "Send > at+cgdcont=1,\"IP\",\"my apn\"\nRecv < OK\nUnInit\n",
       "at 0000000061742b636764636f6e743d312c224950222c226d792061706e22", {}},
      {"empty command: the zero word alone", {"--at-reply", "ERROR"}, "",
       "Send > \nRecv < ERROR\nUnInit\n", "at 00000000", {}},
      {"refused: the status is logged", {"--status", "8:2"}, "ATI", "Send > ATI\nUnInit\n",
       "at 00000000415449",
       {protocol_record("[tessel] err=0, Status=2"), "I src/api [tessel] err=2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = run(c.modem_args, {"-a", c.command});
    EXPECT_EQ(r.result.out, c.out);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_THAT(requests(), ElementsAre(c.request));
    const auto log = records(r.result.err);
    for (const std::string& record : c.records) EXPECT_THAT(log, Contains(record));
    if (c.out.find("Recv <") == std::string::npos) {
      EXPECT_THAT(log, Not(Contains(HasSubstr("Recv <"))));
    }
  }
}

TEST_F(DebugTool, CommandOf127CharactersIsSentWhole) {
  const std::string command = "AT" + std::string(125, 'Z');
  const Outcome r = run({"--at-reply", "OK"}, {"-a", command});
  EXPECT_EQ(r.result.out, "Send > " + command + "\nRecv < OK\nUnInit\n");
  const auto rx = modem_->rx();
  ASSERT_EQ(rx.size(), 1u);
  ASSERT_EQ(rx[0].size(), 48u + 4u + 127u);
  EXPECT_EQ(Bytes(rx[0].end() - 127, rx[0].end()), Bytes(command.begin(), command.end()));
}

TEST_F(DebugTool, CommandOf128CharactersIsRefusedNamingTheLimitAndNothingIsSent) {
  const std::string command = "AT" + std::string(126, 'Z');
  const Outcome r = run({}, {"-a", command});
  EXPECT_THAT(r.result.out, Not(HasSubstr("Send >")));
  EXPECT_THAT(r.result.err, HasSubstr("127"));
  EXPECT_EQ(r.result.status, 255);
  EXPECT_THAT(modem_->rx(), IsEmpty());
}

// A later -a or -d replaces an earlier one; words that are not options are
// ignored.
TEST_F(DebugTool, RepeatedOptionsKeepTheirLastValue) {
  const Outcome r = run({"--at-reply", "OK"}, {"-a", "AT+FIRST", "stray", "-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < OK\nUnInit\n");
  EXPECT_THAT(requests(), ElementsAre("at 00000000415449"));

  const Outcome again = tessel({"--command", "debug_tool", "-d", "/nonexistent/device", "-d",
                                modem_->path(), "-a", "ATE0"});
  EXPECT_EQ(again.result.out, "Send > ATE0\nRecv < OK\nUnInit\n");
}

}  // namespace
}  // namespace e2e

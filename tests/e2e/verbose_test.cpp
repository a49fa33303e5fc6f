// Verbose mode seen from outside: --debug (in either sub-command) or VERBOSE
// in the environment turns the message dump on (every MBIM message in hex
// and decoded, on the log), anything else leaves the log without it. What
// goes to the modem and to standard output is the same either way. How each
// value of VERBOSE reads is checked by the service API's unit tests, the
// dump's records by the dump's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

// A sub-command run against a fresh modem, and what it leaves behind.
struct SubCommand {
  std::vector<std::string> args;  // "-d <pty>" goes after the first two
  std::vector<std::string> modem_args;
  std::string out;
  std::vector<std::string> requests;
  std::vector<std::string> dumped;  // among the records in verbose mode
};

const SubCommand kSarTool = {
    {"--command", "sar_tool", "-f"},  // the table path is added
    {},
    kUnInit,
    {"22 0000bb81", "21 0012", "25 item=48001 len=3 first", "21 0022", "22 0000bb81", "23 bb81"},
    // The digest query of item 48001 and the fresh modem's answer (the
    // digest of an empty table), in both directions.
    {"I src/mbim_dump [tessel] > 03:00:00:00:34:00:00:00:01:00:00:00:01:00:00:00:00:00:00:00:"
     "2D:0C:12:C9:0E:6A:49:5A:91:5C:8D:17:4F:E5:D6:3C:16:00:00:00:01:00:00:00:04:00:00:00:"
     "00:00:BB:81:",
     "I src/mbim_dump [tessel] < 03:00:00:80:40:00:00:00:01:00:00:00:01:00:00:00:00:00:00:00:"
     "2D:0C:12:C9:0E:6A:49:5A:91:5C:8D:17:4F:E5:D6:3C:16:00:00:00:00:00:00:00:10:00:00:00:"
     "D4:1D:8C:D9:8F:00:B2:04:E9:80:09:98:EC:F8:42:7E:",
     "I src/mbim_dump [tessel] MessageType =  MBIM_COMMAND_MSG",
     "I src/mbim_dump [tessel] MessageType =  MBIM_COMMAND_DONE",
     "I src/mbim_dump [tessel] > DeviceServiceId = uuid_qmbe (2d0c12c9-0e6a-495a-915c-8d174fe5d63c)",
     "I src/mbim_dump [tessel] < DeviceServiceId = uuid_qmbe (2d0c12c9-0e6a-495a-915c-8d174fe5d63c)",
     "I src/mbim_dump [tessel] > CID = Unknow (22)",
     "I src/mbim_dump [tessel] > CID = VELKOR_QBI_SVC_QMBE_MBIM_CID_DIAG_OVER_MBIM_CFG (21)",
     "I src/mbim_dump [tessel] < CID = VELKOR_QBI_SVC_QMBE_MBIM_CID_DIAG_OVER_MBIM_CFG (21)",
     "I src/mbim_dump [tessel] > CommandType = set"},
};

const SubCommand kDebugTool = {
    {"--command", "debug_tool", "-a", "ATI"},
    {"--at-reply", "OK"},
    "Send > ATI\nRecv < OK\nUnInit\n",
    {"at 00000000415449"},
    {"I src/mbim_dump [tessel] > DeviceServiceId = uuid_qdu (6427015f-579d-48f5-8c54-f43ed1e76f83)",
     "I src/mbim_dump [tessel] InformationBufferLength = 7"},
};

class Verbose : public ModemTest {};

TEST_F(Verbose, TheDumpIsOnOnlyInVerboseModeAndChangesNothingElse) {
  struct Case {
    const char* what;
    const SubCommand* run;
    std::optional<std::string> environment;  // VERBOSE's value, or unset
    bool debug_option;
    bool verbose;
  };
  const Case cases[] = {
      {"sar_tool --debug", &kSarTool, std::nullopt, true, true},
      {"sar_tool VERBOSE=1", &kSarTool, std::string("1"), false, true},
      {"sar_tool unset", &kSarTool, std::nullopt, false, false},
      {"debug_tool --debug over VERBOSE=0", &kDebugTool, std::string("0"), true, true},
      {"debug_tool unset", &kDebugTool, std::nullopt, false, false},
  };
  process::TempFile table({'a', 'b', 'c'});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto modem = start_modem(c.run->modem_args);
    ASSERT_TRUE(modem->ready()) << modem->notes();
    std::vector<std::string> args = c.run->args;
    args.insert(args.begin() + 2, {"-d", modem->path()});
    if (c.run == &kSarTool) args.push_back(table.path());
    if (c.debug_option) args.push_back("--debug");
    process::Options options;
    if (c.environment) options.env.push_back("VERBOSE=" + *c.environment);
    const Outcome r = tessel(args, options);
    EXPECT_EQ(r.result.out, c.run->out);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_THAT(describe(modem->rx()), ElementsAreArray(c.run->requests));
    const auto log = records(r.result.err);
    if (c.verbose) {
      EXPECT_THAT(log, IsSupersetOf(c.run->dumped));
    } else {
      EXPECT_THAT(log, Not(Contains(StartsWith("I src/mbim_dump"))));
      EXPECT_THAT(log, Not(Contains(HasSubstr("MessageType"))));
      EXPECT_THAT(log, Not(Contains(HasSubstr("03:00:00:00:"))));
    }
  }
}

}  // namespace
}  // namespace e2e

// Verbose mode seen from outside: --debug or VERBOSE in the environment
// turns the message dump on (every MBIM message in hex and decoded, on the
// log), anything else leaves the log without it. What goes to the modem and
// to standard output is the same either way.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsSupersetOf;
using ::testing::Not;
using ::testing::StartsWith;

// The first request of an update (digest query of item 48001) and the fresh
// modem's answer (the digest of an empty table), as hex lines.
const char kQueryHexLine[] =
    "I src/mbim_dump [tessel] > 03:00:00:00:34:00:00:00:01:00:00:00:01:00:00:00:00:00:00:00:"
    "2D:0C:12:C9:0E:6A:49:5A:91:5C:8D:17:4F:E5:D6:3C:16:00:00:00:01:00:00:00:04:00:00:00:"
    "00:00:BB:81:";
const char kAnswerHexLine[] =
    "I src/mbim_dump [tessel] < 03:00:00:80:40:00:00:00:01:00:00:00:01:00:00:00:00:00:00:00:"
    "2D:0C:12:C9:0E:6A:49:5A:91:5C:8D:17:4F:E5:D6:3C:16:00:00:00:00:00:00:00:10:00:00:00:"
    "D4:1D:8C:D9:8F:00:B2:04:E9:80:09:98:EC:F8:42:7E:";

const std::vector<std::string> kDecodedSarRecords = {
    kQueryHexLine,
    kAnswerHexLine,
    "I src/mbim_dump [tessel] MessageType =  MBIM_COMMAND_MSG",
    "I src/mbim_dump [tessel] MessageType =  MBIM_COMMAND_DONE",
    "I src/mbim_dump [tessel] > DeviceServiceId = uuid_qmbe (2d0c12c9-0e6a-495a-915c-8d174fe5d63c)",
    "I src/mbim_dump [tessel] < DeviceServiceId = uuid_qmbe (2d0c12c9-0e6a-495a-915c-8d174fe5d63c)",
    "I src/mbim_dump [tessel] > CID = Unknow (22)",
    "I src/mbim_dump [tessel] > CID = VELKOR_QBI_SVC_QMBE_MBIM_CID_DIAG_OVER_MBIM_CFG (21)",
    "I src/mbim_dump [tessel] < CID = VELKOR_QBI_SVC_QMBE_MBIM_CID_DIAG_OVER_MBIM_CFG (21)",
    "I src/mbim_dump [tessel] > CommandType = set",
};

struct VerboseCase {
  const char* name;
  std::optional<std::string> environment;  // VERBOSE's value, or unset
  bool debug_option;
  bool verbose;
};

// Failure messages name the case rather than dumping its bytes.
void PrintTo(const VerboseCase& c, std::ostream* os) { *os << c.name; }

class Verbose : public ModemTest, public ::testing::WithParamInterface<VerboseCase> {
 protected:
  Outcome run(const std::vector<std::string>& modem_args, std::vector<std::string> args) {
    const VerboseCase& c = GetParam();
    modem_ = start_modem(modem_args);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    args.insert(args.begin() + 2, {"-d", modem_->path()});
    if (c.debug_option) args.push_back("--debug");
    process::Options options;
    if (c.environment) options.env.push_back("VERBOSE=" + *c.environment);
    return tessel(args, options);
  }

  std::unique_ptr<process::Simulator> modem_;
};

TEST_P(Verbose, SarToolDumpsEveryMessageOnlyInVerboseMode) {
  process::TempFile table({'a', 'b', 'c'});
  const Outcome r = run({}, {"--command", "sar_tool", "-f", table.path()});
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(describe(modem_->rx()),
              ElementsAreArray({"22 0000bb81", "21 0012", "25 item=48001 len=3 first", "21 0022",
                                "22 0000bb81", "23 bb81"}));
  const auto log = records(r.result.err);
  if (GetParam().verbose) {
    EXPECT_THAT(log, IsSupersetOf(kDecodedSarRecords));
  } else {
    EXPECT_THAT(log, Not(Contains(StartsWith("I src/mbim_dump"))));
    EXPECT_THAT(log, Not(Contains(HasSubstr("MessageType"))));
    EXPECT_THAT(log, Not(Contains(HasSubstr("03:00:00:00:"))));
  }
}

TEST_P(Verbose, DebugToolDumpsTheAtTunnelOnlyInVerboseMode) {
  const Outcome r = run({"--at-reply", "OK"}, {"--command", "debug_tool", "-a", "ATI"});
  EXPECT_EQ(r.result.out, "Send > ATI\nRecv < OK\nUnInit\n");
  const auto log = records(r.result.err);
  const std::string service =
      "I src/mbim_dump [tessel] > DeviceServiceId = uuid_qdu (6427015f-579d-48f5-8c54-f43ed1e76f83)";
  if (GetParam().verbose) {
    EXPECT_THAT(log, Contains(service));
    EXPECT_THAT(log, Contains("I src/mbim_dump [tessel] InformationBufferLength = 7"));
  } else {
    EXPECT_THAT(log, Not(Contains(StartsWith("I src/mbim_dump"))));
  }
}

INSTANTIATE_TEST_SUITE_P(
    E2e, Verbose,
    ::testing::Values(VerboseCase{"DebugOption", std::nullopt, true, true},
                      VerboseCase{"Environment1", std::string("1"), false, true},
                      VerboseCase{"EnvironmentEmpty", std::string(""), false, true},
                      VerboseCase{"EnvironmentYes", std::string("yes"), false, true},
                      VerboseCase{"DebugOptionOverEnvironment0", std::string("0"), true, true},
                      VerboseCase{"Unset", std::nullopt, false, false},
                      VerboseCase{"Environment0", std::string("0"), false, false},
                      VerboseCase{"EnvironmentStartingWith0", std::string("01"), false, false}),
    [](const ::testing::TestParamInfo<VerboseCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e

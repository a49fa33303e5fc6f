// The tool's command line as an operator meets it: "--command" dispatch, the
// top-level usage, --version, and each sub-command's usage for -h, -v,
// unknown options and missing arguments. None of these cases reaches a
// modem, so no simulator runs here.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

using Args = std::vector<std::string>;
using ::testing::StartsWith;

// Nine lines: version, "---", empty, synopsis, empty, "sub-command:", the
// two sub-commands indented by a tab, and a final empty line.
std::string top_level_usage(const std::string& invocation) {
  return "v1.1.1\n"
         "---\n"
         "\n" +
         invocation + " --command <sub-command> <parameters>\n"
         "\n"
         "sub-command:\n"
         "\tsar_tool\n"
         "\tdebug_tool\n"
         "\n";
}

std::string joined(const Args& args) {
  std::string s;
  for (const auto& a : args) s += "[" + a + "] ";
  return s;
}

TEST(Dispatch, TwoArgumentsOrFewerOrAnyOtherFirstArgumentPrintTopLevelUsageAnd255) {
  const std::vector<Args> cases = {
      {},
      {"--command"},
      {"sar_tool"},
      {"--Command", "sar_tool"},
      {"--command ", "sar_tool", "-d", "/dev/null"},
      {"-command", "debug_tool", "-a", "ATI"},
      {"--commands", "debug_tool"},
      {"sar_tool", "--command", "x"},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(joined(args));
    const Outcome run = tessel(args);
    EXPECT_EQ(run.result.out, top_level_usage(TESSEL_BIN));
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.status, 255);
  }
}

TEST(Dispatch, TopLevelUsageNamesTheInvocationTheToolWasStartedAs) {
  char dir[] = "/tmp/tessel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string alias = std::string(dir) + "/modem-updater";
  ASSERT_EQ(symlink(TESSEL_BIN, alias.c_str()), 0);
  const process::Result r = process::run({alias, "--version"});
  unlink(alias.c_str());
  rmdir(dir);
  EXPECT_EQ(r.out, top_level_usage(alias));
  EXPECT_EQ(r.status, 255);
}

TEST(Dispatch, UnknownSubCommandPrintsNothingAndSucceeds) {
  const std::vector<Args> cases = {
      {"--command", "foo"},
      {"--command", "SAR_TOOL"},
      {"--command", "debug_tool2", "-a", "ATI"},
      {"--command", ""},
      {"--command", "sar_tool ", "-d", "/dev/null"},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(joined(args));
    const Outcome run = tessel(args);
    EXPECT_EQ(run.result.out, "");
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.status, 0);
  }
}

// --version ends the parse at once: nothing before it (not even --debug)
// makes the tool start, nothing after it is looked at.
TEST(Version, EitherSubCommandPrintsOnlyTheVersion) {
  const std::vector<Args> cases = {
      {"--command", "sar_tool", "--version"},
      {"--command", "debug_tool", "--version"},
      {"--command", "sar_tool", "--debug", "--version"},
      {"--command", "debug_tool", "--debug", "--version"},
      {"--command", "sar_tool", "--version", "-x", "--no-such-option"},
      {"--command", "sar_tool", "-d", "/nonexistent/device", "-f", "/nonexistent/table", "--version"},
      {"--command", "debug_tool", "-d", "/nonexistent/device", "-a", "ATI", "--version"},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(joined(args));
    const Outcome run = tessel(args);
    EXPECT_EQ(run.result.out, kVersionLine);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.status, 0);
  }
}

TEST(SubCommandUsage, HelpAndTheVOptionPrintUsageWithoutDiagnosticAndSucceed) {
  struct Case {
    Args args;
    std::string usage;
  };
  const std::vector<Case> cases = {
      {{"--command", "sar_tool", "-h"}, kSarToolUsage},
      {{"--command", "sar_tool", "-v", "3"}, kSarToolUsage},
      {{"--command", "sar_tool", "-d", "/dev/null", "-f", "/dev/null", "-h"}, kSarToolUsage},
      {{"--command", "debug_tool", "-h"}, kDebugToolUsage},
      {{"--command", "debug_tool", "-v"}, kDebugToolUsage},
      {{"--command", "debug_tool", "-d", "/dev/null", "-a", "ATI", "-v"}, kDebugToolUsage},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.args));
    const Outcome run = tessel(c.args);
    EXPECT_EQ(run.result.out, c.usage);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.status, 0);
  }
}

// The sub-command's name is the parser's program name, so its one-line
// diagnostic names "sar_tool" or "debug_tool", not the tool's path.
TEST(SubCommandUsage, UnknownOptionOrMissingArgumentGivesDiagnosticNamingSubCommandThenUsage) {
  struct Case {
    Args args;
    std::string usage;
    std::string diagnostic_start;
  };
  const std::vector<Case> cases = {
      {{"--command", "sar_tool", "-x"}, kSarToolUsage, "sar_tool: "},
      {{"--command", "sar_tool", "--no-such-option"}, kSarToolUsage, "sar_tool: "},
      {{"--command", "sar_tool", "-d"}, kSarToolUsage, "sar_tool: "},
      {{"--command", "sar_tool", "-d", "/dev/null", "-f"}, kSarToolUsage, "sar_tool: "},
      {{"--command", "sar_tool", "-d", "/dev/null", "-n"}, kSarToolUsage, "sar_tool: "},
      {{"--command", "sar_tool", "-v"}, kSarToolUsage, "sar_tool: "},
      {{"--command", "debug_tool", "-x"}, kDebugToolUsage, "debug_tool: "},
      {{"--command", "debug_tool", "--force"}, kDebugToolUsage, "debug_tool: "},
      {{"--command", "debug_tool", "-d", "/dev/null", "-a"}, kDebugToolUsage, "debug_tool: "},
      {{"--command", "debug_tool", "-a", "ATI", "-d"}, kDebugToolUsage, "debug_tool: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.args));
    const Outcome run = tessel(c.args);
    EXPECT_EQ(run.result.out, c.usage);
    EXPECT_THAT(run.result.err, StartsWith(c.diagnostic_start));
    EXPECT_EQ(run.result.err.find('\n'), run.result.err.size() - 1) << "one line: " << run.result.err;
    EXPECT_EQ(run.result.status, 0);
  }
}

TEST(SubCommandUsage, SarToolWithoutDevicePrintsUsageAnd255) {
  const std::vector<Args> cases = {
      {"--command", "sar_tool"},
      {"--command", "sar_tool", "-f", "/dev/null"},
      {"--command", "sar_tool", "--force", "-n", "1"},
      {"--command", "sar_tool", "/dev/null"},
  };
  for (const Args& args : cases) {
    SCOPED_TRACE(joined(args));
    const Outcome run = tessel(args);
    EXPECT_EQ(run.result.out, kSarToolUsage);
    EXPECT_EQ(run.result.err, "");
    EXPECT_EQ(run.result.status, 255);
  }
}

TEST(SubCommandUsage, DebugToolWithNothingAfterItPrintsUsageAndSucceeds) {
  const Outcome run = tessel({"--command", "debug_tool"});
  EXPECT_EQ(run.result.out, kDebugToolUsage);
  EXPECT_EQ(run.result.err, "");
  EXPECT_EQ(run.result.status, 0);
}

}  // namespace
}  // namespace e2e

// The tool's command line as an operator meets it: "--command" dispatch, the
// top-level usage, --version, each sub-command's usage, and sar_tool's checks
// of the table and device paths, each with its exit status. None of these
// cases reaches a modem, so no simulator runs here.
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

TEST(CommandLine, EachFormPrintsItsTextsAndEndsWithItsStatus) {
  const std::string top = top_level_usage(TESSEL_BIN);
  const char* missing_device = "/nonexistent/tessel-e2e-device";
  const char* missing_table = "/nonexistent/tessel-e2e-table";
  const process::TempFile table_file(pattern(10, 1));
  const process::TempFile empty_file;
  const std::string table = table_file.path();
  const std::string empty = empty_file.path();
  // Refused before the device is opened: the device check would say
  // "fial to access" for the missing device.
  auto refused = [&](const Args& more) {
    Args a = {"--command", "sar_tool", "-d", missing_device, "-f", table};
    a.insert(a.end(), more.begin(), more.end());
    return a;
  };
  const std::string bad_item = "sar_tool: -n wants a whole number from 0 to 65535, not '";
  const std::string bad_timeout = "sar_tool: --timeout wants whole seconds from 1 to 300, not '";
  struct Case {
    Args args;
    std::string out;
    std::string err;
    int status;
  };
  const std::vector<Case> cases = {
      // Two arguments or fewer, or any other first argument: the top-level usage.
      {{}, top, "", 255},
      {{"--command"}, top, "", 255},
      {{"sar_tool"}, top, "", 255},
      {{"--Command", "sar_tool"}, top, "", 255},
      {{"--command ", "sar_tool", "-d", "/dev/null"}, top, "", 255},
      {{"-command", "debug_tool", "-a", "ATI"}, top, "", 255},
      {{"--commands", "debug_tool"}, top, "", 255},
      {{"sar_tool", "--command", "x"}, top, "", 255},
      // An unknown sub-command: nothing at all.
      {{"--command", "foo"}, "", "", 0},
      {{"--command", "SAR_TOOL"}, "", "", 0},
      {{"--command", "debug_tool2", "-a", "ATI"}, "", "", 0},
      {{"--command", ""}, "", "", 0},
      {{"--command", "sar_tool ", "-d", "/dev/null"}, "", "", 0},
      // --version ends the parse at once: nothing before it (not even
      // --debug) makes the tool start, nothing after it is looked at.
      {{"--command", "sar_tool", "--version"}, kVersionLine, "", 0},
      {{"--command", "debug_tool", "--version"}, kVersionLine, "", 0},
      {{"--command", "sar_tool", "--debug", "--version"}, kVersionLine, "", 0},
      {{"--command", "debug_tool", "--debug", "--version"}, kVersionLine, "", 0},
      {{"--command", "sar_tool", "--version", "-x", "--no-such-option"}, kVersionLine, "", 0},
      {{"--command", "sar_tool", "-d", missing_device, "-f", missing_table, "--version"},
       kVersionLine, "", 0},
      {{"--command", "debug_tool", "-d", missing_device, "-a", "ATI", "--version"}, kVersionLine,
       "", 0},
      // -h and -v (which takes an argument in sar_tool): the sub-command's usage.
      {{"--command", "sar_tool", "-h"}, kSarToolUsage, "", 0},
      {{"--command", "sar_tool", "-v", "3"}, kSarToolUsage, "", 0},
      {{"--command", "sar_tool", "-d", "/dev/null", "-f", "/dev/null", "-h"}, kSarToolUsage, "", 0},
      {{"--command", "debug_tool", "-h"}, kDebugToolUsage, "", 0},
      {{"--command", "debug_tool", "-v"}, kDebugToolUsage, "", 0},
      {{"--command", "debug_tool", "-d", "/dev/null", "-a", "ATI", "-v"}, kDebugToolUsage, "", 0},
      // Without the device, or debug_tool without the command: usage and
      // 255; debug_tool with nothing after it: usage and 0.
      {{"--command", "sar_tool"}, kSarToolUsage, "", 255},
      {{"--command", "sar_tool", "-f", "/dev/null"}, kSarToolUsage, "", 255},
      {{"--command", "sar_tool", "--force", "-n", "1"}, kSarToolUsage, "", 255},
      {{"--command", "sar_tool", "/dev/null"}, kSarToolUsage, "", 255},
      {{"--command", "debug_tool", "-a", "ATI"}, kDebugToolUsage, "", 255},
      {{"--command", "debug_tool", "-d", "/dev/null"}, kDebugToolUsage, "", 255},
      {{"--command", "debug_tool"}, kDebugToolUsage, "", 0},
      // sar_tool's table check comes before the device check: a perror line
      // and 255; without -f the message names what is missing.
      {{"--command", "sar_tool", "-d", missing_device, "-f", missing_table}, "",
       std::string(missing_table) + ": No such file or directory\n", 255},
      {{"--command", "sar_tool", "-d", "/dev/null"}, "",
       "sar_tool: an update needs -f <sar table file>\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--check"}, "",
       "sar_tool: --check needs -f <sar table file>\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--save", ""}, "",
       "sar_tool: --save needs a FILE to write the table to\n", 255},
      // The table must be a regular file with bytes in it; anything else is
      // refused like an unreadable one, before the device check.
      {{"--command", "sar_tool", "-d", missing_device, "-f", "/dev/null"}, "",
       "sar_tool: /dev/null: not a regular file\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "-f", "/tmp"}, "",
       "sar_tool: /tmp: not a regular file\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "-f", empty}, "",
       "sar_tool: " + empty + ": the table file is empty\n", 255},
      // -n takes a whole number from 0 to 65535 (the item travels in 16 bits).
      {refused({"-n", "abc"}), "", bad_item + "abc'\n", 255},
      {refused({"-n", "7x"}), "", bad_item + "7x'\n", 255},
      {refused({"-n", "65536"}), "", bad_item + "65536'\n", 255},
      {refused({"-n", "-1"}), "", bad_item + "-1'\n", 255},
      {refused({"-n", " 7"}), "", bad_item + " 7'\n", 255},
      {refused({"-n", ""}), "", bad_item + "'\n", 255},
      {refused({"--lock-wait", "1s"}), "",
       "sar_tool: --lock-wait wants whole seconds from 0 to 86400, not '1s'\n", 255},
      // --timeout bounds each wait for an answer: 1 to 300 s.
      {refused({"--timeout", "0"}), "", bad_timeout + "0'\n", 255},
      {refused({"--timeout", "301"}), "", bad_timeout + "301'\n", 255},
      {refused({"--timeout", "2s"}), "", bad_timeout + "2s'\n", 255},
      {refused({"--timeout", ""}), "", bad_timeout + "'\n", 255},
      {{"--command", "debug_tool", "-d", missing_device, "-a", "ATI", "--timeout", "-1"}, "",
       "debug_tool: --timeout wants whole seconds from 1 to 300, not '-1'\n", 255},
      // Options that cannot go together.
      {refused({"--check", "--force"}), "", "sar_tool: --check cannot be used with --force\n", 255},
      {refused({"--save", "/tmp/backup.bin"}), "", "sar_tool: --save cannot be used with -f\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--save", "/tmp/b", "--force"}, "",
       "sar_tool: --save cannot be used with --force\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--save", "/tmp/b", "--check"}, "",
       "sar_tool: --save cannot be used with --check\n", 255},
      {refused({"--query"}), "", "sar_tool: --query cannot be used with -f\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--query", "--force"}, "",
       "sar_tool: --query cannot be used with --force\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--check", "--query"}, "",
       "sar_tool: --query cannot be used with --check\n", 255},
      {{"--command", "sar_tool", "-d", missing_device, "--query", "--save", "/tmp/b"}, "",
       "sar_tool: --query cannot be used with --save\n", 255},
      // A device that cannot be read and written: "fial to access" and 1;
      // under --json on standard error, which keeps standard output for the
      // JSON object alone.
      {refused({"-n", "+65535"}),
       std::string("fial to access ") + missing_device + ", errno: 2 (No such file or directory)\n",
       "", 1},
      {refused({"--json"}), "",
       std::string("fial to access ") + missing_device + ", errno: 2 (No such file or directory)\n",
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.args));
    const Outcome run = tessel(c.args);
    EXPECT_EQ(run.result.out, c.out);
    EXPECT_EQ(run.result.err, c.err);
    EXPECT_EQ(run.result.status, c.status);
  }
}

// With --strict, --check, --save or --query among the arguments the caller
// reads the status, so what the default mode lets pass with status 0 (a
// typo, a missing option argument, an unknown sub-command) is 255, and a
// device path longer than Init keeps is refused before anything is opened.
TEST(CommandLine, StrictArgumentsTurnTheDefaultModesSuccessesIntoRefusals) {
  const std::string top = top_level_usage(TESSEL_BIN);
  const process::TempFile table_file(pattern(10, 2));
  const std::string table = table_file.path();
  const std::string long_device = "/nonexistent/tessel-e2e-device32";  // 32 characters
  const std::string longest_device = "/nonexistent/tessel-e2e-devic31";  // 31
  const std::string too_long = ": the device path is longer than 31 characters: " + long_device + "\n";
  struct Case {
    Args args;
    std::string out;
    std::string err_start;  // the whole of standard error's one line starts so
    int status;
  };
  const std::vector<Case> cases = {
      {{"--command", "sar_tool", "--strict", "-x"}, kSarToolUsage, "sar_tool: ", 255},
      // A misspelt --force beside --check must not say "the modem holds this table".
      {{"--command", "sar_tool", "-d", "/dev/null", "-f", table, "--check", "--forse"}, kSarToolUsage,
       "sar_tool: ", 255},
      {{"--command", "sar_tool", "-d", "/dev/null", "--save"}, kSarToolUsage, "sar_tool: ", 255},
      {{"--command", "sar_tool", "--query", "-d", "/dev/null", "-n"}, kSarToolUsage, "sar_tool: ", 255},
      {{"--command", "sar_tool", "--str", "-h"}, kSarToolUsage, "", 255},  // an abbreviation counts
      {{"--command", "debug_tool", "-d", "/dev/null", "-a", "ATI", "--strict", "--bogus"},
       kDebugToolUsage, "debug_tool: ", 255},
      {{"--command", "sar_tol", "--strict", "-d", "/dev/null"}, top,
       "tessel: unknown sub-command 'sar_tol'\n", 255},
      // --json implies --strict.
      {{"--command", "sar_tol", "--json", "-d", "/dev/null"}, top,
       "tessel: unknown sub-command 'sar_tol'\n", 255},
      {{"--command", "debug_tool", "-d", "/dev/null", "-a", "ATI", "--json", "--bogus"},
       kDebugToolUsage, "debug_tool: ", 255},
      {{"--command", "sar_tool", "--strict", "-d", long_device, "-f", table}, "", "sar_tool" + too_long,
       255},
      {{"--command", "debug_tool", "--strict", "-d", long_device, "-a", "ATI"}, "",
       "debug_tool" + too_long, 255},
      // 31 characters fit; without those options nothing changes: the
      // device check answers, not the length.
      {{"--command", "sar_tool", "--strict", "-d", longest_device, "-f", table},
       "fial to access " + longest_device + ", errno: 2 (No such file or directory)\n", "", 1},
      {{"--command", "sar_tool", "-d", long_device, "-f", table},
       "fial to access " + long_device + ", errno: 2 (No such file or directory)\n", "", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.args));
    const Outcome run = tessel(c.args);
    EXPECT_EQ(run.result.out, c.out);
    EXPECT_THAT(run.result.err, StartsWith(c.err_start));
    EXPECT_EQ(run.result.err.find('\n'), run.result.err.empty() ? std::string::npos : run.result.err.size() - 1)
        << "at most one line: " << run.result.err;
    EXPECT_EQ(run.result.status, c.status);
  }
}

// --help lists every option of the sub-command on a line of its own and
// points to the manual, whatever else is on the command line.
TEST(CommandLine, HelpListsEveryOptionAndPointsToTheManual) {
  struct Case {
    Args args;
    std::vector<std::string> options;
  };
  const std::vector<Case> cases = {
      {{"--command", "sar_tool", "--help"},
       {"-d", "-f", "-n", "--force", "--strict", "--check", "--save", "--query", "--lock-wait",
        "--timeout", "--json", "--quiet", "--debug", "--version", "-h", "-v", "--help"}},
      {{"--command", "sar_tool", "--strict", "-d", "/dev/null", "--help", "-x"},
       {"-d", "-f", "-n", "--force", "--strict", "--check", "--save", "--query", "--lock-wait",
        "--timeout", "--json", "--quiet", "--debug", "--version", "-h", "-v", "--help"}},
      {{"--command", "debug_tool", "--help"},
       {"-d", "-a", "--strict", "--lock-wait", "--timeout", "--json", "--quiet", "--debug",
        "--version", "-h", "-v", "--help"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(joined(c.args));
    const Outcome run = tessel(c.args);
    EXPECT_EQ(run.result.status, 0);
    EXPECT_EQ(run.result.err, "");
    const std::string& out = run.result.out;
    for (const std::string& option : c.options) {
      const size_t at = out.find("\n  " + option + " ");
      ASSERT_NE(at, std::string::npos) << option << " is not listed:\n" << out;
      EXPECT_EQ(out.find("\n  " + option + " ", at + 1), std::string::npos) << option << " twice";
    }
    EXPECT_NE(out.find("tessel(1)"), std::string::npos);
    EXPECT_EQ(out.back(), '\n');
  }
}

TEST(CommandLine, TopLevelUsageNamesTheInvocationTheToolWasStartedAs) {
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

// The sub-command's name is the parser's program name, so its one-line
// diagnostic names "sar_tool" or "debug_tool", not the tool's path.
TEST(CommandLine, UnknownOptionOrMissingArgumentGivesDiagnosticNamingSubCommandThenUsage) {
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

}  // namespace
}  // namespace e2e

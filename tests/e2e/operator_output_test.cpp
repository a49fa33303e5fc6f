// What an operator and a script see of a run beyond the default output:
// record priorities in the journal, -q, --json read by a real JSON parser,
// the progress line on a terminal and nowhere else, the lines that say a run
// waits, and --timeout.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

using Args = std::vector<std::string>;
using std::chrono::milliseconds;
using ::testing::AnyOf;

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The lines of `text` that begin with `head`.
std::vector<std::string> lines_starting(const std::string& text, const std::string& head) {
  std::vector<std::string> found;
  for (const std::string& line : lines_of(text)) {
    if (line.compare(0, head.size(), head) == 0) found.push_back(line);
  }
  return found;
}

// "<device>:<inode>" of the file at `path`, as systemd writes JOURNAL_STREAM.
std::string journal_stream_of(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

// The tool with `args`, its standard error in the file `err` and
// JOURNAL_STREAM set to `journal`: a run started by a systemd unit.
process::Result tool_with_stderr_in(const std::string& err, const std::string& journal,
                                    const Args& args) {
  Args argv = {"/bin/sh", "-c", "f=$1; shift; exec \"$@\" 2> \"$f\"", "sh", err};
  Args tool = {TESSEL_BIN};
  tool.insert(tool.end(), args.begin(), args.end());
  tool = process::with_emulator(tool);
  argv.insert(argv.end(), tool.begin(), tool.end());
  process::Options options;
  options.native = true;
  options.env = {"JOURNAL_STREAM=" + journal};
  options.unset = {"VERBOSE"};
  return process::run(argv, options);
}

std::string text_of(const process::TempFile& file) {
  const std::vector<unsigned char> bytes = file.read();
  return std::string(bytes.begin(), bytes.end());
}

// A run with standard error on a pseudo-terminal: what the terminal got,
// CR LF as the line discipline makes of a line feed.
struct TerminalRun {
  int status = -1;
  std::string terminal;
  milliseconds elapsed{0};
};

TerminalRun tool_on_terminal(const Args& args) {
  TerminalRun run;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  EXPECT_GE(master, 0);
  EXPECT_EQ(grantpt(master), 0);
  EXPECT_EQ(unlockpt(master), 0);
  const std::string slave_path = ptsname(master);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY);
    const int null = open("/dev/null", O_RDWR);
    if (slave < 0 || null < 0) _exit(127);
    dup2(null, 0);
    dup2(null, 1);
    dup2(slave, 2);
    unsetenv("VERBOSE");
    unsetenv("JOURNAL_STREAM");
    Args words = {TESSEL_BIN};
    words.insert(words.end(), args.begin(), args.end());
    words = process::with_emulator(words);
    std::vector<char*> argv;
    for (std::string& a : words) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  // Read until the child has ended and the terminal holds nothing more: the
  // master reads EIO once no slave is open.
  for (int waited = 0; waited < 20000;) {
    pollfd p = {master, POLLIN, 0};
    if (poll(&p, 1, 100) == 0) {
      waited += 100;
      int status = 0;
      if (run.status < 0 && waitpid(pid, &status, WNOHANG) == pid) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        run.elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
      }
      if (run.status >= 0) break;
      continue;
    }
    char buf[4096];
    const ssize_t n = read(master, buf, sizeof buf);
    if (n <= 0) break;
    run.terminal.append(buf, static_cast<size_t>(n));
  }
  if (run.status < 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    run.elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
  }
  close(master);
  return run;
}

class OperatorOutput : public ModemTest {
 protected:
  // A fresh modem with `knobs`; "DEV" in `args` stands for its path.
  Args on_modem(const std::vector<std::string>& knobs, Args args) {
    modem_ = start_modem(knobs);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    for (auto& a : args) {
      if (a == "DEV") a = modem_->path();
    }
    args.insert(args.begin(), "--command");
    return args;
  }

  std::unique_ptr<process::Simulator> modem_;
};

// Under systemd each record line begins with its priority, so that
// `journalctl -p err` shows the failures alone: <3> for an error record,
// <6> for progress, <7> for the message dump; the tool's own failure
// messages at <3>. A JOURNAL_STREAM that names another file (one inherited
// by a run whose standard error went elsewhere) changes nothing.
TEST_F(OperatorOutput, RecordsCarryTheirPriorityOnlyWhenStandardErrorIsTheJournal) {
  const process::TempFile table(pattern(2000, 41));
  const process::TempFile elsewhere;
  for (bool journal : {true, false}) {
    SCOPED_TRACE(journal ? "the journal" : "another file");
    const process::TempFile err;
    const std::string stream = journal_stream_of(journal ? err.path() : elsewhere.path());

    // An apply the modem refuses, with the message dump.
    const process::Result r = tool_with_stderr_in(
        err.path(), stream, on_modem({"--status", "23:2"}, {"sar_tool", "-d", "DEV", "-f", table.path(), "--debug"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "UnInit\n");
    const std::string said = text_of(err);
    size_t errors = 0, progress = 0, dumps = 0;
    for (const std::string& line : lines_of(said)) {
      if (!journal) {
        EXPECT_THAT(line, Not(StartsWith("<"))) << line;
        continue;
      }
      // A record with line feeds in its text continues on lines of its own.
      if (line.compare(0, 3, "<3>") == 0) {
        EXPECT_THAT(line, StartsWith("<3>E src/"));
        ++errors;
      } else if (line.compare(0, 3, "<7>") == 0) {
        EXPECT_THAT(line, StartsWith("<7>I src/mbim_dump:"));
        ++dumps;
      } else if (line.compare(0, 3, "<6>") == 0) {
        EXPECT_THAT(line, AllOf(StartsWith("<6>I src/"), Not(StartsWith("<6>I src/mbim_dump:"))));
        ++progress;
      } else {
        EXPECT_THAT(line, Not(AnyOf(StartsWith("E "), StartsWith("I ")))) << "no priority: " << line;
      }
    }
    if (journal) {
      EXPECT_THAT(said, HasSubstr("<3>E src/main:"));  // the failed apply
      EXPECT_GE(progress, 10u);
      EXPECT_GE(dumps, 50u);
      EXPECT_GE(errors, 1u);
    }

    // A refused argument: the tool's own line.
    const process::Result bad =
        tool_with_stderr_in(err.path(), stream, {"--command", "sar_tool", "-d", "/dev/null", "--timeout", "0"});
    EXPECT_EQ(bad.status, 255);
    EXPECT_EQ(text_of(err), std::string(journal ? "<3>" : "") +
                                "sar_tool: --timeout wants whole seconds from 1 to 300, not '0'\n");
  }
}

// -q keeps exactly the error records, dumps and progress dropped, and
// changes nothing on standard output.
TEST_F(OperatorOutput, QuietKeepsExactlyTheErrorRecords) {
  const process::TempFile table(pattern(3000, 42));
  for (const Args& mode : {Args{}, Args{"--strict"}, Args{"--debug"}}) {
    SCOPED_TRACE(testing::PrintToString(mode));
    Args args = {"sar_tool", "-d", "DEV", "-f", table.path()};
    args.insert(args.end(), mode.begin(), mode.end());
    const Outcome loud = tessel(on_modem({"--status", "23:2"}, args));
    args.push_back("-q");
    const Outcome quiet = tessel(on_modem({"--status", "23:2"}, args));
    const std::vector<std::string> error_lines = lines_starting(loud.result.err, "E ");
    ASSERT_FALSE(error_lines.empty());
    EXPECT_GT(lines_of(loud.result.err).size(), error_lines.size());
    EXPECT_EQ(lines_of(quiet.result.err), error_lines);
    EXPECT_EQ(quiet.result.out, loud.result.out);
    EXPECT_EQ(quiet.result.status, loud.result.status);
  }
}

// Compares the key=value line (argv[1]) with the JSON object (argv[2], its
// bytes as they came) by Python's own json: strict UTF-8, no NaN or
// Infinity, the same keys in the same order, numbers as numbers and '-' as
// null. Prints what differs.
const char kCompareSummaries[] = R"(
import json, sys
line = sys.argv[1]
raw = sys.argv[2].encode('utf-8', 'surrogateescape')
def refuse(name):
    raise ValueError('not JSON: ' + name)
try:
    pairs = json.loads(raw.decode('utf-8'), object_pairs_hook=list, parse_constant=refuse)
except ValueError as e:
    print('invalid:', e, repr(raw)); sys.exit(1)
numbers = {'item', 'size', 'code'}
want = []
for field in line.split(' '):
    key, value = field.split('=', 1)
    if value == '-':
        value = None
    elif key in numbers:
        value = int(value)
    want.append([key, value])
got = [[k, v] for k, v in pairs]
if got != want or any(type(g[1]) is not type(w[1]) for g, w in zip(got, want)):
    print('differs:', got, want); sys.exit(1)
)";

// Every kind of result, each as a key=value line (--strict) and as JSON
// (--json) from runs alike: Python's json reads the one and finds the
// other's fields in it. The AT reply holds quotes, backslashes, control
// characters and a byte that is no UTF-8; under --json it goes to standard
// error with "UnInit", and standard output holds the object alone.
TEST_F(OperatorOutput, JsonOfEveryResultKindIsTheSummaryAsJson) {
  const Bytes bytes = pattern(2500, 43);
  const process::TempFile table(bytes);
  const process::TempFile other(pattern(2500, 44));
  // CR LF "q" \x TAB 01 ESC[31m FF DEL CR LF OK CR LF, in the simulator's escapes.
  const char kHostileReply[] = "\\r\\n\"q\"\\\\x\\t\\x01\\x1b[31m\\xff\\x7f\\r\\nOK\\r\\n";
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    Args args;
    int status;
  };
  const std::vector<Case> cases = {
      {"updated", {}, {"sar_tool", "-d", "DEV", "-f", table.path()}, 0},
      {"up-to-date", {"--table-in", table.path()}, {"sar_tool", "-d", "DEV", "-f", table.path()}, 0},
      {"differs", {"--table-in", other.path()}, {"sar_tool", "-d", "DEV", "-f", table.path(), "--check"}, 7},
      {"saved", {"--table-in", table.path()}, {"sar_tool", "-d", "DEV", "--save", "SAVE"}, 0},
      {"queried", {}, {"sar_tool", "-d", "DEV", "--query", "-n", "7"}, 0},
      {"failed", {"--status", "23:2"}, {"sar_tool", "-d", "DEV", "-f", table.path()}, 5},
      {"ok, hostile reply", {"--at-reply", kHostileReply}, {"debug_tool", "-d", "DEV", "-a", "ATI"}, 0},
      {"error", {"--at-reply", "\\r\\n+CME ERROR: 10\\r\\n"}, {"debug_tool", "-d", "DEV", "-a", "ATI"}, 12},
      {"no answer", {"--status", "8:2"}, {"debug_tool", "-d", "DEV", "-a", "ATI"}, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string lines[2];
    for (int json = 0; json < 2; ++json) {
      const process::TempFile saved;
      Args args = c.args;
      for (auto& a : args) {
        if (a == "SAVE") a = saved.path() + ".new";
      }
      args.push_back(json ? "--json" : "--strict");
      const Outcome r = tessel(on_modem(c.knobs, args));
      std::remove((saved.path() + ".new").c_str());
      EXPECT_EQ(r.result.status, c.status) << r.result.err;
      if (json) {
        EXPECT_EQ(r.result.out.find('\n'), r.result.out.size() - 1) << "one line: " << r.result.out;
        EXPECT_THAT(r.result.err, HasSubstr("UnInit\n"));
        lines[1] = r.result.out.substr(0, r.result.out.size() - 1);
      } else {
        EXPECT_THAT(r.result.out, EndsWith("\n"));
        const std::vector<std::string> out = lines_of(r.result.out);
        ASSERT_FALSE(out.empty());
        lines[0] = out.back();
      }
    }
    process::Options python;
    python.native = true;
    const process::Result parsed =
        process::run({"python3", "-c", kCompareSummaries, lines[0], lines[1]}, python);
    EXPECT_EQ(parsed.status, 0) << parsed.out << parsed.err << "\n" << lines[0] << "\n" << lines[1];
    EXPECT_EQ(parsed.out, "");
  }
}

// On a terminal the write shows how far it got, redrawn in place at most
// ten times a second and wiped at the end; every record then starts by
// wiping the line, so none lands behind it. Anywhere else (here a pipe) no
// progress and no carriage return.
TEST_F(OperatorOutput, ProgressLineOnlyOnATerminal) {
  const size_t size = 24 * 1024;  // 24 chunks, 30 ms each: faster than the redraws
  const process::TempFile table(pattern(size, 45));
  const std::string total = std::to_string(size);
  const std::string one_draw = "\rtessel: writing the table: [0-9]+ of " + total +
                               " bytes \\([0-9]+%\\)(, [0-9]+\\.[0-9] KiB/s)?\x1b\\[K";
  const std::regex drawn(one_draw);

  const TerminalRun quiet =
      tool_on_terminal(on_modem({"--delay", "25:30"}, {"sar_tool", "-d", "DEV", "-f", table.path(), "-q"}));
  EXPECT_EQ(quiet.status, 0);
  const std::string& t = quiet.terminal;
  const size_t draws = std::distance(std::sregex_iterator(t.begin(), t.end(), drawn), std::sregex_iterator());
  EXPECT_GE(draws, 3u) << t;
  EXPECT_LE(draws, static_cast<size_t>(quiet.elapsed.count() / 100 + 2)) << t;
  EXPECT_TRUE(std::regex_match(t, std::regex("(" + one_draw + ")+\r\x1b\\[K"))) << t;
  EXPECT_THAT(t, HasSubstr("\rtessel: writing the table: 0 of " + total + " bytes (0%)\x1b[K"));
  EXPECT_THAT(t, HasSubstr(" KiB/s"));

  const TerminalRun loud =
      tool_on_terminal(on_modem({"--delay", "25:30"}, {"sar_tool", "-d", "DEV", "-f", table.path()}));
  EXPECT_EQ(loud.status, 0);
  const std::string& l = loud.terminal;
  EXPECT_THAT(l, HasSubstr("tessel: writing the table: "));
  size_t records = 0;
  for (size_t at = l.find(" src/"); at != std::string::npos; at = l.find(" src/", at + 1)) {
    ++records;
    ASSERT_GE(at, 4u);
    EXPECT_EQ(l.substr(at - 4, 3), "\x1b[K") << "a record behind the line: " << l.substr(at - 60, 80);
  }
  EXPECT_GE(records, 20u);

  const Outcome piped = tessel(on_modem({"--delay", "25:30"}, {"sar_tool", "-d", "DEV", "-f", table.path()}));
  EXPECT_EQ(piped.result.status, 0);
  EXPECT_THAT(piped.result.err, Not(HasSubstr("writing the table")));
  EXPECT_EQ(piped.result.err.find('\r'), std::string::npos);
}

// A run that waits says so once, on standard error: for another run's lock
// (how long at most), and for an answer that is slow to come (which request,
// until when). --timeout bounds the wait for an answer.
TEST_F(OperatorOutput, WaitsAreSaidOnceAndTimeoutBoundsTheWaitForAnAnswer) {
  const process::TempFile first(pattern(4000, 46));
  const process::TempFile second(pattern(4000, 47));
  const Args a = on_modem({"--delay", "25:300"}, {"sar_tool", "-d", "DEV", "-f", first.path()});
  auto holder = process::start_tool(a);
  ASSERT_TRUE(received(*modem_, 1));
  const Outcome waiter = tessel({"--command", "sar_tool", "-d", modem_->path(), "-f", second.path(),
                                 "--lock-wait", "30"});
  EXPECT_EQ(holder->wait().status, 0);
  EXPECT_EQ(waiter.result.status, 0);
  EXPECT_EQ(lines_starting(waiter.result.err, "tessel: "),
            std::vector<std::string>{"tessel: " + modem_->path() +
                                     " is in use by another tessel run; waiting up to 30 s"});

  // The digest query never answered: 6 s, said once after 5.
  const Outcome slow = tessel(on_modem({"--no-reply", "22"},
                                       {"sar_tool", "-d", "DEV", "-f", first.path(), "--timeout", "6", "--strict"}));
  EXPECT_EQ(slow.result.status, 3);
  EXPECT_GE(slow.elapsed, milliseconds(5500));
  EXPECT_LE(slow.elapsed, milliseconds(10000));
  const std::vector<std::string> said = lines_starting(slow.result.err, "tessel: ");
  ASSERT_EQ(said.size(), 1u) << slow.result.err;
  EXPECT_TRUE(std::regex_match(said[0], std::regex("tessel: the modem has not answered request [0-9]+ "
                                                   "\\(uuid_qmbe CID 22\\) for 5 s; waiting until "
                                                   "[0-9]{2}:[0-9]{2}:[0-9]{2}")))
      << said[0];

  // --timeout 2 ends a silent exchange in about 2 s, with nothing to say.
  for (const char* sub : {"sar_tool", "debug_tool"}) {
    SCOPED_TRACE(sub);
    const Args args = std::string(sub) == "sar_tool"
                          ? Args{sub, "-d", "DEV", "-f", first.path(), "--timeout", "2", "--strict"}
                          : Args{sub, "-d", "DEV", "-a", "ATI", "--timeout", "2", "--strict"};
    const Outcome quick = tessel(on_modem({"--no-reply", "22", "--no-reply", "8"}, args));
    EXPECT_EQ(quick.result.status, std::string(sub) == "sar_tool" ? 3 : 11);
    EXPECT_GE(quick.elapsed, milliseconds(1500));
    EXPECT_LE(quick.elapsed, milliseconds(6000));
    EXPECT_THAT(quick.result.err, Not(HasSubstr("tessel: ")));
  }
}

}  // namespace
}  // namespace e2e

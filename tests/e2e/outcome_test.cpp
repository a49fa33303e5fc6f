// What a caller learns from a run: with --strict, an exit status per outcome
// and one summary line; --check, which compares and changes nothing; --query,
// which only asks for the modem's digest; and the
// default mode, which keeps the statuses scripts rely on (0 for sar_tool and
// debug_tool whatever happened) on the very same runs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

const char kMd5OfNothing[] = "d41d8cd98f00b204e9800998ecf8427e";

class CallerOutcome : public ModemTest {
 protected:
  // Starts a modem with `knobs` and runs `args` (after "--command") on it,
  // DEV standing for its path.
  e2e::Outcome run(const std::vector<std::string>& knobs, std::vector<std::string> args) {
    modem_ = start_modem(knobs);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    for (auto& a : args) {
      if (a == "DEV") a = modem_->path();
    }
    args.insert(args.begin(), "--command");
    return tessel(args);
  }
  Requests requests() const { return describe(modem_->rx()); }

  std::unique_ptr<process::Simulator> modem_;
};

TEST_F(CallerOutcome, EachSarToolOutcomeHasItsStatusAndLineUnderStrictAndZeroWithout) {
  const Bytes table = pattern(3000, 31);
  const process::TempFile file(table);
  const process::TempFile not_a_node(pattern(10, 32));
  const std::string f = md5_hex(table);
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    bool regular_file_as_device;  // the channel cannot be opened
    int status;
    std::string line;
  };
  const std::string head = "result=failed item=48001 size=3000 file_md5=";
  const std::vector<Case> cases = {
      {"written, applied, verified", {}, false, 0,
       "result=updated item=48001 size=3000 file_md5=" + f + " modem_md5=" + f + " step=- apply=confirmed"},
      {"verified only after the apply", {"--md5-after-apply"}, false, 0,
       "result=updated item=48001 size=3000 file_md5=" + f + " modem_md5=" + f + " step=- apply=confirmed"},
      {"no modem", {}, true, 2,
       "result=failed item=48001 size=- file_md5=- modem_md5=- step=connect apply=-"},
      {"digest query refused", {"--status", "22:2"}, false, 3,
       "result=failed item=48001 size=- file_md5=- modem_md5=- step=query apply=-"},
      {"DIAG-over-MBIM refused", {"--status", "21:2"}, false, 4,
       head + f + " modem_md5=" + kMd5OfNothing + " step=enable apply=-"},
      {"BUSY storm in the write", {"--busy", "25:4"}, false, 4,
       head + f + " modem_md5=" + kMd5OfNothing + " step=write apply=-"},
      {"apply refused", {"--status", "23:2"}, false, 5,
       head + f + " modem_md5=" + f + " step=apply apply=failed"},
      {"apply refused by a function error without a code", {"--function-error", "23:0"}, false, 5,
       head + f + " modem_md5=" + f + " step=apply apply=failed"},
      {"a digest that never changes", {"--md5-frozen"}, false, 6,
       head + f + " modem_md5=" + kMd5OfNothing + " step=verify apply=confirmed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool strict : {false, true}) {
      std::vector<std::string> args = {"sar_tool", "-d",
                                       c.regular_file_as_device ? not_a_node.path() : "DEV",
                                       "-f", file.path()};
      if (strict) args.insert(args.begin() + 1, "--strict");  // before the other options
      const e2e::Outcome r = run(c.knobs, args);
      EXPECT_EQ(r.result.status, strict ? c.status : 0) << r.result.err;
      EXPECT_EQ(r.result.out, strict ? "UnInit\n" + c.line + "\n" : "UnInit\n");
    }
  }
}

// --check reads the digest and nothing else: no DIAG switch, no write, no
// apply, whether the digests agree or not.
TEST_F(CallerOutcome, CheckComparesWithoutChangingTheModem) {
  const Bytes table = pattern(2000, 33);
  const process::TempFile file(table);
  const process::TempFile stored_table(table);
  const std::string f = md5_hex(table);
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    int status;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"differs", {}, 7,
       "result=differs item=48001 size=2000 file_md5=" + f + " modem_md5=" + kMd5OfNothing + " step=- apply=-"},
      {"up to date", {"--table-in", stored_table.path()}, 0,
       "result=up-to-date item=48001 size=2000 file_md5=" + f + " modem_md5=" + f + " step=- apply=-"},
      {"no digest in the answer", {"--md5-length", "0"}, 3,
       "result=failed item=48001 size=2000 file_md5=" + f + " modem_md5=- step=query apply=-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const e2e::Outcome r = run(c.knobs, {"sar_tool", "-d", "DEV", "-f", file.path(), "--check"});
    EXPECT_EQ(r.result.status, c.status) << r.result.err;
    EXPECT_EQ(r.result.out, "UnInit\n" + c.line + "\n");
    EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81"}));
  }
}

// --query sends the digest query and nothing else, with or without a table
// file, and fails at step=query when the answer holds no 16-byte digest.
TEST_F(CallerOutcome, QueryPrintsTheModemsDigestAndSendsOnlyTheDigestQuery) {
  const Bytes table = pattern(2000, 35);
  const process::TempFile stored_table(table);
  const std::string stored = md5_hex(table);
  const std::string none = "size=- file_md5=- modem_md5=";
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    std::vector<std::string> more;
    int status;
    std::string line;
    std::string request;
  };
  const std::vector<Case> cases = {
      {"a stored table", {"--table-in", stored_table.path()}, {}, 0,
       "result=queried item=48001 " + none + stored + " step=- apply=-", "22 0000bb81"},
      {"another item, with --strict", {}, {"-n", "48002", "--strict"}, 0,
       "result=queried item=48002 " + none + kMd5OfNothing + " step=- apply=-", "22 0000bb82"},
      {"no digest in the answer", {"--md5-length", "0"}, {}, 3,
       "result=failed item=48001 " + none + "- step=query apply=-", "22 0000bb81"},
      {"digest query refused", {"--status", "22:2"}, {}, 3,
       "result=failed item=48001 " + none + "- step=query apply=-", "22 0000bb81"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::string> args = {"sar_tool", "-d", "DEV", "--query"};
    args.insert(args.end(), c.more.begin(), c.more.end());
    const e2e::Outcome r = run(c.knobs, args);
    EXPECT_EQ(r.result.status, c.status) << r.result.err;
    EXPECT_EQ(r.result.out, "UnInit\n" + c.line + "\n");
    EXPECT_THAT(requests(), ElementsAreArray(Requests{c.request}));
  }
}

TEST_F(CallerOutcome, EachDebugToolOutcomeHasItsStatusAndLineUnderStrictAndZeroWithout) {
  const process::TempFile not_a_node(pattern(10, 34));
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    bool regular_file_as_device;
    int status;
    std::string line;
  };
  const std::vector<Case> cases = {
      {"OK", {"--at-reply", "\\r\\nRevision: 1\\r\\n\\r\\nOK\\r\\n"}, false, 0,
       "result=ok final=OK code=- step=-"},
      {"ERROR", {"--at-reply", "\\r\\nERROR\\r\\n"}, false, 12, "result=error final=ERROR code=- step=-"},
      {"+CME ERROR", {"--at-reply", "\\r\\n+CME ERROR: 10\\r\\n"}, false, 12,
       "result=error final=CME_ERROR code=10 step=-"},
      {"+CMS ERROR in words", {"--at-reply", "\\r\\n+CMS ERROR: unknown\\r\\n"}, false, 12,
       "result=error final=CMS_ERROR code=- step=-"},
      {"no final result", {"--at-reply", "\\r\\n+CSQ: 20,99\\r\\n"}, false, 12,
       "result=error final=- code=- step=-"},
      {"refused command", {"--status", "8:2"}, false, 11, "result=failed final=- code=- step=answer"},
      {"no modem", {}, true, 2, "result=failed final=- code=- step=connect"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool strict : {false, true}) {
      std::vector<std::string> args = {"debug_tool", "-d",
                                       c.regular_file_as_device ? not_a_node.path() : "DEV", "-a", "ATI"};
      if (strict) args.push_back("--strict");
      const e2e::Outcome r = run(c.knobs, args);
      EXPECT_EQ(r.result.status, strict ? c.status : 0) << r.result.err;
      EXPECT_THAT(r.result.out, EndsWith(strict ? "UnInit\n" + c.line + "\n" : "UnInit\n"));
      EXPECT_EQ(r.result.out.find("result=") != std::string::npos, strict);
    }
  }
}

// Standard output on a full device: a strict run that succeeded ends with
// 13, since its caller never saw the result; a failed one keeps its own
// status, and the default mode its 0.
TEST_F(CallerOutcome, StrictRunWhoseOutputCannotBeWrittenEndsWith13) {
  if (const char* emulator = std::getenv("TESSEL_TEST_EMULATOR"); emulator != nullptr && *emulator != '\0') {
    GTEST_SKIP() << "under an emulator the shell this test starts is not the target's";
  }
  const Bytes table = pattern(1500, 36);
  const process::TempFile file(table);
  const process::TempFile stored_table(table);
  const process::TempFile other(pattern(1500, 37));
  struct Case {
    std::vector<std::string> knobs;
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--table-in", stored_table.path()}, {"sar_tool", "-d", "DEV", "-f", file.path(), "--check"}, 13},
      {{}, {"sar_tool", "-d", "DEV", "-f", other.path(), "--check"}, 7},
      {{}, {"sar_tool", "-d", "DEV", "--query"}, 13},
      {{}, {"debug_tool", "-d", "DEV", "-a", "ATI", "--strict"}, 13},
      {{}, {"debug_tool", "-d", "DEV", "-a", "ATI"}, 0},
  };
  for (const Case& c : cases) {
    modem_ = start_modem(c.knobs);
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
    std::vector<std::string> argv = {"/bin/sh", "-c", "exec \"$0\" --command \"$@\" >/dev/full",
                                     TESSEL_BIN};
    std::string trace;
    for (const std::string& a : c.args) {
      argv.push_back(a == "DEV" ? modem_->path() : a);
      trace += a + " ";
    }
    SCOPED_TRACE(trace);
    process::Options o;
    o.unset = {"VERBOSE"};
    const process::Result r = process::run(argv, o);
    EXPECT_EQ(r.status, c.status) << r.err;
  }
}

}  // namespace
}  // namespace e2e

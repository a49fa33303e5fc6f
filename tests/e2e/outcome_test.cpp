// What a caller learns from a run, as far as the modem's side goes: --check,
// which compares and changes nothing; --query, which only asks for the
// modem's digest; and a strict run whose result cannot be written. Which
// status and summary line each way a step ends gives is decided without a
// modem (tests/main/flows_test.cpp).
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

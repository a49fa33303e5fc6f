// sar_tool when the simulated modem misbehaves at each step of the update:
// what is logged, that nothing is sent after the failing step, and that the
// exit status stays 0. Also the BUSY resends of the table write and the
// apply command that may go unanswered.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

const std::string kBusyRecord =
    protocol_record("[tessel] mbim status busy,now delay 200mS resend");

class SarFailure : public ModemTest {
 protected:
  // Runs sar_tool for a fresh table of `size` bytes (so the digests differ)
  // against a modem started with `modem_args` that stores into a fresh file.
  Outcome run(size_t size, const std::vector<std::string>& modem_args) {
    table_ = std::make_unique<process::TempFile>(pattern(size, 11));
    stored_ = std::make_unique<process::TempFile>();
    modem_ = start_modem_storing(*stored_, modem_args);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    return tessel({"--command", "sar_tool", "-d", modem_->path(), "-f", table_->path()});
  }
  Requests requests() const { return describe(modem_->rx()); }
  void expect_uninit_and_status_0(const Outcome& r) {
    EXPECT_EQ(r.result.out, kUnInit);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_FALSE(r.result.timed_out);
  }

  std::unique_ptr<process::TempFile> stored_;
  std::unique_ptr<process::TempFile> table_;
  std::unique_ptr<process::Simulator> modem_;
};

// The simulator refuses a CID with --status CID:S, closes its side instead
// of answering the N-th request with --hangup-at N, and answers BUSY to the
// next K writes with --busy 25:K.
TEST_F(SarFailure, EachFailingStepIsLoggedAndNothingFollowsIt) {
  const std::string first = "25 item=48001 len=1024 first";
  struct Case {
    const char* what;
    std::vector<std::string> modem_args;
    size_t size;
    std::vector<Matcher<std::string>> present;  // among the log records
    std::vector<Matcher<std::string>> absent;
    int busy;            // BUSY records
    bool table_written;  // the modem ends up storing the file
    Requests requests;
  };
  const std::vector<Case> cases = {
      {"refused digest query: before the file digest, nothing switched",
       {"--status", "22:2"}, 100,
       {"E src/main [tessel] GetSarMd5 err=-1"}, {HasSubstr("md5: ")}, 0, false,
       {"22 0000bb81"}},
      {"refused switch on: no table write",
       {"--status", "21:2"}, 100,
       {"I src/api [tessel] err=2, bEnable=1", "E src/main [tessel] SetSarEnable err=-1"}, {}, 0,
       false, {"22 0000bb81", "21 0012"}},
      // A failed write switches DIAG-over-MBIM off again ("21 0022"), so the
      // modem is not left in its transfer mode; no read-back, no apply.
      {"refused chunk: switched off again, no read-back or apply",
       {"--status", "25:2"}, 3000,
       {protocol_record("[tessel] err=0, Status=2"), StartsWith("I src/api [tessel] err=2, data="),
        "E src/main [tessel] SetSarValue err=-1"},
       {}, 0, false, {"22 0000bb81", "21 0012", first, "21 0022"}},
      {"lost switch off: no read-back",
       {"--hangup-at", "4"}, 100,
       {"E src/main [tessel] SetSarEnable err=-1"}, {StartsWith("I src/main [tessel] md5: ")}, 0,
       false, {"22 0000bb81", "21 0012", "25 item=48001 len=100 first", "21 0022"}},
      {"lost read-back: no apply",
       {"--hangup-at", "5"}, 100,
       {"E src/main [tessel] GetSarMd5 after update err=-1"},
       {StartsWith("I src/main [tessel] md5: ")}, 0, false,
       {"22 0000bb81", "21 0012", "25 item=48001 len=100 first", "21 0022", "22 0000bb81"}},
      {"refused apply: logged after the table was written",
       {"--status", "23:2"}, 100,
       {"E src/main [tessel] ApplySarValue err=-1"}, {}, 0, true,
       {"22 0000bb81", "21 0012", "25 item=48001 len=100 first", "21 0022", "22 0000bb81",
        "23 bb81"}},
      {"three BUSY answers: resent, and the whole table arrives",
       {"--busy", "25:3"}, 3000,
       {}, {StartsWith("E ")}, 3, true,
       {"22 0000bb81", "21 0012", first, first, first, first, "25 item=48001 len=1024 next",
        "25 item=48001 len=952 next", "21 0022", "22 0000bb81", "23 bb81"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome r = run(c.size, c.modem_args);
    expect_uninit_and_status_0(r);
    const auto log = records(r.result.err);
    for (const auto& m : c.present) EXPECT_THAT(log, Contains(m));
    for (const auto& m : c.absent) EXPECT_THAT(log, Not(Contains(m)));
    EXPECT_EQ(std::count(log.begin(), log.end(), kBusyRecord), c.busy);
    EXPECT_THAT(requests(), ElementsAreArray(c.requests));
    if (c.table_written) {
      EXPECT_EQ(stored_->read(), table_->read());
    }
  }
}

// A directory is readable but holds no table: it is refused with the other
// bad table files, before anything reaches the modem.
TEST_F(SarFailure, TableThatIsNoRegularFileIsRefusedBeforeTheModemIsAsked) {
  char dir[] = "/tmp/tessel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  modem_ = start_modem();
  ASSERT_TRUE(modem_->ready());
  const Outcome r = tessel({"--command", "sar_tool", "-d", modem_->path(), "-f", dir});
  rmdir(dir);
  EXPECT_EQ(r.result.out, "");
  EXPECT_EQ(r.result.err, std::string("sar_tool: ") + dir + ": not a regular file\n");
  EXPECT_EQ(r.result.status, 255);
  EXPECT_THAT(requests(), ElementsAreArray(Requests{}));
}

// The modem may apply without answering: after 3 s the apply counts as done.
TEST_F(SarFailure, UnansweredApplyCountsAsSuccessAfterThreeSeconds) {
  const Outcome r = run(100, {"--no-reply", "23"});
  expect_uninit_and_status_0(r);
  EXPECT_GE(r.elapsed.count(), 2900);
  EXPECT_LT(r.elapsed.count(), 10000);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Not(Contains(HasSubstr("ApplySarValue"))));
  EXPECT_THAT(log, Not(Contains(StartsWith("E "))));
  EXPECT_THAT(log, Contains("I src/api [tessel] err=0"));
  EXPECT_EQ(requests().back(), "23 bb81");
}

}  // namespace
}  // namespace e2e

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

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using Requests = std::vector<std::string>;

const char kBusyRecord[] = "I src/mbim_protocol [tessel] mbim status busy,now delay 200mS resend";

class SarFailure : public ModemTest {
 protected:
  // Runs sar_tool for a fresh table of `size` bytes (so the digests differ)
  // against a modem started with `modem_args`.
  Outcome run(size_t size, const std::vector<std::string>& modem_args) {
    table_ = std::make_unique<process::TempFile>(pattern(size, 11));
    std::vector<std::string> m = {"--table-out", stored_.path()};
    m.insert(m.end(), modem_args.begin(), modem_args.end());
    modem_ = start_modem(m);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    return tessel({"--command", "sar_tool", "-d", modem_->path(), "-f", table_->path()});
  }
  Requests requests() const { return describe(modem_->rx()); }
  void expect_uninit_and_status_0(const Outcome& r) {
    EXPECT_EQ(r.result.out, kUnInit);
    EXPECT_EQ(r.result.status, 0);
    EXPECT_FALSE(r.result.timed_out);
  }

  process::TempFile stored_;
  std::unique_ptr<process::TempFile> table_;
  std::unique_ptr<process::Simulator> modem_;
};

TEST_F(SarFailure, RefusedDigestQueryEndsBeforeTheFileDigestAndSwitchesNothing) {
  const Outcome r = run(100, {"--status", "22:2"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("E src/main [tessel] GetSarMd5 err=-1"));
  EXPECT_THAT(log, Not(Contains(HasSubstr("md5: "))));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81"}));
}

TEST_F(SarFailure, UnreadableFileDigestEndsBeforeTheModemIsSwitched) {
  char dir[] = "/tmp/tessel-e2e-XXXXXX";  // readable, but no table: reading it fails
  ASSERT_NE(mkdtemp(dir), nullptr);
  modem_ = start_modem();
  ASSERT_TRUE(modem_->ready());
  const Outcome r = tessel({"--command", "sar_tool", "-d", modem_->path(), "-f", dir});
  rmdir(dir);
  expect_uninit_and_status_0(r);
  EXPECT_THAT(records(r.result.err), Contains("E src/main [tessel] GetFileMd5 err=-1"));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81"}));
}

TEST_F(SarFailure, RefusedSwitchOnEndsBeforeAnyTableWrite) {
  const Outcome r = run(100, {"--status", "21:2"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("I src/api [tessel] err=2, bEnable=1"));
  EXPECT_THAT(log, Contains("E src/main [tessel] SetSarEnable err=-1"));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81", "21 0012"}));
}

TEST_F(SarFailure, FunctionErrorOnSwitchOnEndsBeforeAnyTableWrite) {
  const Outcome r = run(100, {"--function-error", "21:3"});
  expect_uninit_and_status_0(r);
  EXPECT_THAT(records(r.result.err), Contains("E src/main [tessel] SetSarEnable err=-1"));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81", "21 0012"}));
}

// The switch stays on after a failed write: no "21 0022" follows.
TEST_F(SarFailure, RefusedChunkEndsTheUpdateWithoutSwitchingOffReadingBackOrApplying) {
  const Outcome r = run(3000, {"--status", "25:2"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] err=0, Status=2"));
  EXPECT_THAT(log, Contains(StartsWith("I src/api [tessel] err=2, data=")));
  EXPECT_THAT(log, Contains("E src/main [tessel] SetSarValue err=-1"));
  EXPECT_THAT(requests(),
              ElementsAreArray(Requests{"22 0000bb81", "21 0012", "25 item=48001 len=1024 first"}));
}

// The simulator closes its side instead of answering the N-th request.
TEST_F(SarFailure, HangUpDuringTheWriteEndsTheUpdateAtOnce) {
  const Outcome r = run(3000, {"--hangup-at", "4"});
  expect_uninit_and_status_0(r);
  EXPECT_LT(r.elapsed.count(), 5000);
  EXPECT_THAT(records(r.result.err), Contains("E src/main [tessel] SetSarValue err=-1"));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81", "21 0012",
                                                    "25 item=48001 len=1024 first",
                                                    "25 item=48001 len=1024 next"}));
}

TEST_F(SarFailure, LostSwitchOffEndsBeforeTheReadBack) {
  const Outcome r = run(100, {"--hangup-at", "4"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("E src/main [tessel] SetSarEnable err=-1"));
  EXPECT_THAT(log, Not(Contains(StartsWith("I src/main [tessel] md5: "))));
  EXPECT_THAT(requests(),
              ElementsAreArray(Requests{"22 0000bb81", "21 0012", "25 item=48001 len=100 first",
                                        "21 0022"}));
}

TEST_F(SarFailure, LostReadBackEndsBeforeTheApply) {
  const Outcome r = run(100, {"--hangup-at", "5"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("E src/main [tessel] GetSarMd5 after update err=-1"));
  EXPECT_THAT(log, Not(Contains(StartsWith("I src/main [tessel] md5: "))));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81", "21 0012",
                                                    "25 item=48001 len=100 first", "21 0022",
                                                    "22 0000bb81"}));
}

TEST_F(SarFailure, RefusedApplyIsLoggedAfterTheTableWasWritten) {
  const Outcome r = run(100, {"--status", "23:2"});
  expect_uninit_and_status_0(r);
  EXPECT_THAT(records(r.result.err), Contains("E src/main [tessel] ApplySarValue err=-1"));
  EXPECT_EQ(requests().back(), "23 bb81");
  EXPECT_EQ(stored_.read(), table_->read());
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

TEST_F(SarFailure, ThreeBusyAnswersAreResentAndTheWholeTableArrives) {
  const Outcome r = run(3000, {"--busy", "25:3"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_EQ(std::count(log.begin(), log.end(), kBusyRecord), 3);
  EXPECT_THAT(log, Not(Contains(StartsWith("E "))));
  const std::string first = "25 item=48001 len=1024 first";
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81", "21 0012", first, first, first, first,
                                                    "25 item=48001 len=1024 next",
                                                    "25 item=48001 len=952 next", "21 0022",
                                                    "22 0000bb81", "23 bb81"}));
  EXPECT_EQ(stored_.read(), table_->read());
}

TEST_F(SarFailure, FourthBusyAnswerFailsTheWriteAndNothingFollows) {
  const Outcome r = run(3000, {"--busy", "25:4"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_EQ(std::count(log.begin(), log.end(), kBusyRecord), 4);
  EXPECT_THAT(log, Contains("E src/mbim_protocol [tessel] (busy 3 timers retry fail)"));
  EXPECT_THAT(log, Contains("E src/main [tessel] SetSarValue err=-1"));
  const std::string first = "25 item=48001 len=1024 first";
  EXPECT_THAT(requests(),
              ElementsAreArray(Requests{"22 0000bb81", "21 0012", first, first, first, first}));
}

// After a BUSY answer the reply to the resend is checked against the write
// reply signature; a 0x0F at byte 8 fails the write with -2.
TEST_F(SarFailure, WrongSignatureAfterBusyFailsTheWrite) {
  const Outcome r = run(3000, {"--busy", "25:1", "--bad-signature"});
  expect_uninit_and_status_0(r);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] Error ,msg_len:19 \n"
                            "data[0]:4b,data[1]:b,data[2]:24,data[3]:0,data[4]:78,"));
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] "
                            "data[5]:2,data[6]:0,data[7]:0,data[8]:f,data[9]:0,"));
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] "
                            "data[10]:2,data[11]:0,data[12]:fd,data[13]:ff"));
  EXPECT_THAT(log, Contains(StartsWith("I src/api [tessel] err=-2, data=")));
  EXPECT_THAT(log, Contains("E src/main [tessel] SetSarValue err=-1"));
  const std::string first = "25 item=48001 len=1024 first";
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81", "21 0012", first, first}));
}

// Without a BUSY answer no reply is examined beyond its status.
TEST_F(SarFailure, WrongSignatureWithoutBusyIsNotExamined) {
  const Outcome r = run(3000, {"--bad-signature"});
  expect_uninit_and_status_0(r);
  EXPECT_THAT(records(r.result.err), Not(Contains(StartsWith("E "))));
  EXPECT_EQ(stored_.read(), table_->read());
}

}  // namespace
}  // namespace e2e

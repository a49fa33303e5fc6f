// An update finishes what it started, or the next run on the modem does: a
// stop signal after the last chunk waits for the apply; a run killed after
// its last chunk, or whose apply failed, or whose modem was unplugged,
// leaves a state record, so the next run applies the stored table instead
// of calling it up to date; a late answer to one run never passes for the
// next run's; and a read-back that is not the file's digest leaves an
// error record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "e2e.h"
#include "isolation.h"
#include "byte_order/byte_order.h"

namespace e2e {
namespace {

constexpr size_t kSize = 2048;  // two chunks
const Requests kWholeUpdate = {"22 0000bb81",
                               "21 0012",
                               "25 item=48001 len=1024 first",
                               "25 item=48001 len=1024 next",
                               "21 0022",
                               "22 0000bb81",
                               "23 bb81"};
const char kApplyingPending[] =
    "E src/main [tessel] the modem holds this table, but the run that wrote it did not see it "
    "applied; applying it now";

uint32_t tid_of(const std::vector<unsigned char>& m) { return tessel::get_le32(m.data() + 8); }

class UnfinishedUpdate : public ModemTest {
 protected:
  void start(const std::vector<std::string>& knobs) {
    modem_ = start_modem_storing(stored_, knobs);
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
  }
  std::unique_ptr<process::Child> sar_tool(std::vector<std::string> more = {}) {
    more.insert(more.begin(), {"--command", "sar_tool", "-d", modem_->path(), "-f", table_.path()});
    return process::start_tool(more);
  }
  bool received(size_t n) const { return e2e::received(*modem_, n); }
  // The requests from the `from`-th on.
  Requests requests_from(size_t from) const {
    const Requests all = describe(modem_->rx());
    return Requests(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
  }
  std::string updated_line() const {
    const std::string f = md5_hex(table_.read());
    return "UnInit\nresult=updated item=48001 size=2048 file_md5=" + f + " modem_md5=" + f +
           " step=-\n";
  }

  process::TempFile table_{pattern(kSize, 41)};
  process::TempFile stored_;
  std::unique_ptr<process::Simulator> modem_;
};

// SIGTERM while the modem holds the last chunk: the switch-off, the
// read-back and the apply still run, then the process ends by the signal.
TEST_F(UnfinishedUpdate, SigtermDuringTheLastChunkAppliesThenEndsByTheSignal) {
  start({"--delay", "25:300"});
  auto run = sar_tool();
  ASSERT_TRUE(received(4));  // the last chunk is in flight
  kill(run->pid(), SIGTERM);
  const process::Result r = run->wait();
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_EQ(r.out, "UnInit\n");
  EXPECT_THAT(requests_from(0), ElementsAreArray(kWholeUpdate));
  EXPECT_EQ(stored_.read(), table_.read());
}

// Run 1 wrote the whole table and then died (SIGKILL while DIAG-over-MBIM
// was being switched off) or had its apply refused. The modem now reports
// the file's digest; run 2, without --force, applies (switching DIAG off
// first only when run 1 may have left it on) and reports updated. Run 3
// finds nothing left to do.
TEST_F(UnfinishedUpdate, ATableWrittenButNotAppliedIsAppliedByTheNextRun) {
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    bool kill_at_switch_off;
    Requests second_run;
  };
  const Case cases[] = {
      {"killed after its last chunk", {"--delay", "21:1000"}, true,
       {"22 0000bb81", "21 0022", "23 bb81"}},
      {"apply refused", {"--busy", "23:1"}, false, {"22 0000bb81", "23 bb81"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    start(c.knobs);
    auto first = sar_tool({"--strict"});
    if (c.kill_at_switch_off) {
      ASSERT_TRUE(received(5));  // "21 0022" is waiting for its answer
      kill(first->pid(), SIGKILL);
      EXPECT_EQ(first->wait().signal, SIGKILL);
    } else {
      const process::Result r1 = first->wait();
      EXPECT_EQ(r1.status, 5);
      EXPECT_THAT(r1.out, HasSubstr(" step=apply\n"));
    }
    const size_t before = modem_->rx().size();
    const process::Result r2 = sar_tool({"--strict"})->wait();
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(r2.out, updated_line());
    EXPECT_THAT(records(r2.err), Contains(kApplyingPending));
    EXPECT_THAT(requests_from(before), ElementsAreArray(c.second_run));

    const size_t after = modem_->rx().size();
    const process::Result r3 = sar_tool({"--strict"})->wait();
    EXPECT_EQ(r3.status, 0);
    EXPECT_THAT(r3.out, HasSubstr("result=up-to-date "));
    EXPECT_THAT(requests_from(after), ElementsAreArray(Requests{"22 0000bb81"}));
  }
}

// The modem answers run 1's apply only after run 1 gave up on it (3 s), with
// FAILURE, when run 2's apply arrives, 500 ms ahead of its answer to that
// one (so the late answer is the first to come). Run 2 starts its
// TransactionIds after run 1's last one, so the late answer cannot pass for
// its own; run 3, after a run with every request answered, starts at 1.
TEST_F(UnfinishedUpdate, ALateAnswerToOneRunIsNeverTakenByTheNext) {
  start({"--late", "23:2", "--delay", "23:500"});
  const process::Result r1 = sar_tool({"--strict"})->wait();
  EXPECT_EQ(r1.status, 0);  // an unanswered apply counts as done
  EXPECT_THAT(records(r1.err), Contains("I src/mbim_ctx [tessel] wait ret = 110"));
  const auto rx1 = modem_->rx();
  ASSERT_EQ(describe(rx1.back()), "23 bb81");
  const uint32_t last_of_run1 = tid_of(rx1.back());

  const process::Result r2 = sar_tool({"--strict", "--force"})->wait();
  EXPECT_EQ(r2.status, 0) << r2.err;
  EXPECT_EQ(r2.out, updated_line());
  const auto rx2 = modem_->rx();
  ASSERT_GT(rx2.size(), rx1.size());
  EXPECT_EQ(tid_of(rx2[rx1.size()]), last_of_run1 + 1);
  EXPECT_THAT(records(r2.err), Not(Contains(HasSubstr("wait ret"))));

  const process::Result r3 = sar_tool({"--strict"})->wait();
  EXPECT_EQ(r3.status, 0);
  const auto rx3 = modem_->rx();
  ASSERT_GT(rx3.size(), rx2.size());
  EXPECT_EQ(tid_of(rx3[rx2.size()]), 1u);
}

// Pseudo-terminals of a devpts instance of this test's own (its mount
// namespace's, under isolated.sh): numbered from 0 and reused lowest first,
// so a modem unplugged and plugged again comes back on the same node, as a
// USB modem comes back as the same /dev/cdc-wdmN.
class PrivatePtys {
 public:
  PrivatePtys() {
    mounted_ = mount("devpts", "/dev/pts", "devpts", 0, "newinstance,ptmxmode=0666,mode=0620") == 0;
    bound_ = mounted_ && mount("/dev/pts/ptmx", "/dev/ptmx", nullptr, MS_BIND, nullptr) == 0;
  }
  ~PrivatePtys() {
    if (bound_) umount2("/dev/ptmx", MNT_DETACH);
    if (mounted_) umount2("/dev/pts", MNT_DETACH);
  }
  PrivatePtys(const PrivatePtys&) = delete;
  PrivatePtys& operator=(const PrivatePtys&) = delete;
  bool ready() const { return bound_; }

 private:
  bool mounted_ = false;
  bool bound_ = false;
};

// The modem is unplugged in the middle of an update: the simulator closes
// its pty instead of answering the N-th request, which the tool meets as a
// node that hangs up. The run ends at once, with one record of what the
// node said and, under --strict, the failing step's status. The modem
// plugged in again (a new simulator on the same node, holding what the
// first stored) is brought up to date by the next run: the whole table when
// the unplug cut the write short, only the apply, from the state record's
// note, once the modem had taken the last chunk.
TEST_F(UnfinishedUpdate, AnUnplugEndsTheRunAtOnceAndTheNextRunFinishesTheUpdate) {
  if (!process::isolated()) GTEST_SKIP() << process::kNotIsolated;
  const PrivatePtys ptys;
  ASSERT_TRUE(ptys.ready()) << "cannot mount a devpts instance of this test's own";
  const std::string kGone = "E src/mbim_ctx [tessel] the modem is gone (unplugged?): ";
  struct Case {
    const char* what;
    const char* hangup_at;
    const char* step;
    Requests second_run;
  };
  const Case cases[] = {
      {"during the second chunk", "4", "write", kWholeUpdate},
      {"while DIAG-over-MBIM is switched off", "5", "disable", {"22 0000bb81", "21 0022", "23 bb81"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    forget_device_states();
    std::string node;
    {
      process::Simulator first({"--pty", "--table-out", stored_.path(), "--hangup-at", c.hangup_at});
      ASSERT_TRUE(first.ready()) << first.notes();
      node = first.path();
      const Outcome r1 = tessel({"--command", "sar_tool", "-d", node, "-f", table_.path(), "--strict"});
      EXPECT_LT(r1.elapsed, std::chrono::seconds(3)) << "it waited for an answer that cannot come";
      EXPECT_EQ(r1.result.status, 4) << r1.result.err;
      EXPECT_THAT(r1.result.out, StartsWith(kUnInit)) << "the channel was closed, the lock released";
      EXPECT_THAT(r1.result.out, EndsWith(std::string(" step=") + c.step + "\n"));
      const auto log = records(r1.result.err);
      EXPECT_EQ(std::count_if(log.begin(), log.end(),
                              [&](const std::string& l) { return l.rfind(kGone, 0) == 0; }),
                1)
          << r1.result.err;
      EXPECT_THAT(log, Contains(AllOf(StartsWith(kGone), HasSubstr("POLLHUP"))));
    }
    process::Simulator second({"--pty", "--table-in", stored_.path()});
    ASSERT_TRUE(second.ready()) << second.notes();
    ASSERT_EQ(second.path(), node) << "plugged in again on another node";
    const process::Result r2 = process::run_tool(
        {"--command", "sar_tool", "-d", node, "-f", table_.path(), "--strict"});
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(r2.out, updated_line());
    EXPECT_THAT(describe(second.rx()), ElementsAreArray(c.second_run));
  }
}

// A modem that acknowledges every chunk but keeps its old table: the
// read-back is not the file's digest, and the default mode says so in an
// error record (and still applies, as it always did).
TEST_F(UnfinishedUpdate, AReadBackThatIsNotTheFilesDigestLeavesAnErrorRecord) {
  start({"--md5-frozen"});
  const process::Result r = sar_tool()->wait();
  EXPECT_EQ(r.status, 0);
  EXPECT_THAT(records(r.err),
              Contains("E src/main [tessel] the digest read back differs from the file's: the "
                       "modem did not store the table as sent"));
  EXPECT_THAT(requests_from(0), ElementsAreArray(kWholeUpdate));
}

}  // namespace
}  // namespace e2e

// An update finishes what it started, or the next run on the modem does: a
// stop signal after the last chunk waits for the apply; a run killed (or cut
// off by a hang-up or an unplug) at any request leaves the modem for the
// next run to finish; an apply left unanswered is sent again by the next
// run; a state record that cannot be kept on disk keeps the modem
// untouched; a late answer to one run never passes for any later run's;
// and a read-back that is not the file's digest leaves an error record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e.h"
#include "byte_order/byte_order.h"
#include "isolation.h"

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
    more.insert(more.begin(), {"--command", "sar_tool", "-d", modem_->path(), "-f", table_->path()});
    return process::start_tool(more);
  }
  bool received(size_t n) const { return e2e::received(*modem_, n); }
  // The requests from the `from`-th on.
  Requests requests_from(size_t from) const {
    const Requests all = describe(modem_->rx());
    return Requests(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
  }
  std::string updated_line() const {
    const std::string f = md5_hex(table_->read());
    return "UnInit\nresult=updated item=48001 size=" + std::to_string(table_->read().size()) +
           " file_md5=" + f + " modem_md5=" + f + " step=- apply=confirmed\n";
  }

  std::unique_ptr<process::TempFile> table_ = std::make_unique<process::TempFile>(pattern(kSize, 41));
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
  EXPECT_EQ(stored_.read(), table_->read());
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
      EXPECT_THAT(r1.out, HasSubstr(" step=apply apply=failed\n"));
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
// FAILURE, when the next apply arrives: in run 3, after run 2 only asked for
// the digest and had every request answered. Every run after run 1 starts
// its TransactionIds after the highest one any run on the device used, so
// the late answer cannot pass for run 3's own.
TEST_F(UnfinishedUpdate, ALateAnswerToOneRunIsNeverTakenByAnyLaterRun) {
  start({"--late", "23:2", "--delay", "23:500"});
  const process::Result r1 = sar_tool({"--strict"})->wait();
  EXPECT_EQ(r1.status, 0);  // an unanswered apply counts as done, and says so
  EXPECT_THAT(r1.out, HasSubstr(" step=- apply=unanswered\n"));
  EXPECT_THAT(records(r1.err), Contains("I src/mbim_ctx [tessel] wait ret = 110"));
  const auto rx1 = modem_->rx();
  ASSERT_EQ(describe(rx1.back()), "23 bb81");

  const process::Result r2 =
      process::run_tool({"--command", "sar_tool", "-d", modem_->path(), "--query"});
  EXPECT_EQ(r2.status, 0) << r2.err;
  const auto rx2 = modem_->rx();
  ASSERT_EQ(rx2.size(), rx1.size() + 1);
  EXPECT_EQ(tid_of(rx2.back()), tid_of(rx1.back()) + 1);

  const process::Result r3 = sar_tool({"--strict", "--force"})->wait();
  EXPECT_EQ(r3.status, 0) << r3.err;
  EXPECT_EQ(r3.out, updated_line());
  const auto rx3 = modem_->rx();
  ASSERT_GT(rx3.size(), rx2.size());
  EXPECT_EQ(tid_of(rx3[rx2.size()]), tid_of(rx2.back()) + 1);
  EXPECT_THAT(records(r3.err), Not(Contains(HasSubstr("wait ret"))));
}

// A modem that never answers the apply: the note stays and each later run
// sends the apply again, until the third unanswered one in a row, after
// which the note is dropped with an error record and no run sends it again.
// A modem that answers the apply the second time clears the note then.
TEST_F(UnfinishedUpdate, AnUnansweredApplyIsSentAgainUntilAnsweredOrThreeTimesUnanswered) {
  const Requests apply_again = {"22 0000bb81", "23 bb81"};
  start({"--no-reply", "23"});
  const process::Result r1 = sar_tool({"--strict"})->wait();
  EXPECT_EQ(r1.status, 0) << r1.err;
  EXPECT_THAT(r1.out, HasSubstr("result=updated "));
  EXPECT_THAT(r1.out, HasSubstr(" apply=unanswered\n"));
  for (int run = 2; run <= 3; ++run) {
    SCOPED_TRACE(run);
    const size_t before = modem_->rx().size();
    const process::Result r = sar_tool({"--strict"})->wait();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr(" apply=unanswered\n"));
    EXPECT_THAT(requests_from(before), ElementsAreArray(apply_again));
    const std::string dropped =
        "E src/api [tessel] the modem left the apply of item 48001 unanswered in 3 runs in a row; "
        "no run will send it again";
    EXPECT_EQ(run == 3, ::testing::Value(records(r.err), Contains(dropped)));
  }
  const size_t before = modem_->rx().size();
  const process::Result r4 = sar_tool({"--strict"})->wait();
  EXPECT_THAT(r4.out, HasSubstr("result=up-to-date "));
  EXPECT_THAT(requests_from(before), ElementsAreArray(Requests{"22 0000bb81"}));

  start({"--mute-at", "7"});  // the apply of a whole update (no --strict check)
  EXPECT_THAT(sar_tool()->wait().err, HasSubstr("the next run sends it again"));
  const size_t second = modem_->rx().size();
  const process::Result r = sar_tool({"--strict"})->wait();
  EXPECT_EQ(r.out, updated_line());
  EXPECT_THAT(requests_from(second), ElementsAreArray(apply_again));
  const size_t third = modem_->rx().size();
  EXPECT_THAT(sar_tool({"--strict"})->wait().out, HasSubstr("result=up-to-date "));
  EXPECT_THAT(requests_from(third), ElementsAreArray(Requests{"22 0000bb81"}));
}

// Whatever keeps the state record from being written before the modem's
// table changes (a read-only or full file system, a directory in the
// record's place): nothing is sent after the digest query, and the run says
// why and where; --strict ends it as a failed write at step=state. A
// /var/lib/tessel that cannot be trusted sends the record to /run, which a
// reboot empties: the default mode then writes with a warning record,
// --strict refuses as above.
TEST_F(UnfinishedUpdate, WithoutADurableNoteTheModemIsLeftUntouched) {
  if (geteuid() != 0 || !process::isolated()) {
    GTEST_SKIP() << "needs root and a /var/lib/tessel of its own: " << process::kNotIsolated;
  }
  start({});
  struct stat node;
  ASSERT_EQ(stat(modem_->path().c_str(), &node), 0);
  const std::string key = "char-" + std::to_string(major(node.st_rdev)) + "-" +
                          std::to_string(minor(node.st_rdev)) + ".state";
  const std::string record = std::string(kStateDirectory) + "/" + key;
  struct Case {
    const char* what;
    std::function<bool()> spoil;
    std::function<void()> mend;
    std::string where;
    const char* why;
    bool default_writes;
  };
  const Case cases[] = {
      {"read-only",
       [] { return mount(nullptr, kStateDirectory, nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0; },
       [] { mount(nullptr, kStateDirectory, nullptr, MS_REMOUNT, nullptr); }, record,
       "Read-only file system", false},
      {"full",
       [] {
         if (mount("tmpfs", kStateDirectory, "tmpfs", 0, "size=4k,mode=0700") != 0) return false;
         const std::string filler = std::string(kStateDirectory) + "/filler";
         FILE* f = std::fopen(filler.c_str(), "w");
         if (f == nullptr) return false;
         const std::vector<char> block(4096, 'x');
         while (std::fwrite(block.data(), 1, block.size(), f) == block.size() && std::fflush(f) == 0) {
         }
         std::fclose(f);
         return true;
       },
       [] { umount(kStateDirectory); }, record, "No space left on device", false},
      {"a directory in the way", [&] { return mkdir(record.c_str(), 0700) == 0; },
       [&] { rmdir(record.c_str()); }, record, "Is a directory", false},
      {"only /run", [] { return chmod(kStateDirectory, 0777) == 0; },
       [] { chmod(kStateDirectory, 0700); }, "/run/tessel/" + key, "a reboot would lose it", true},
  };
  for (const Case& c : cases) {
    for (const bool strict : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (strict ? ", --strict" : ""));
      ASSERT_TRUE(c.spoil()) << std::strerror(errno);
      const size_t before = modem_->rx().size();
      const process::Result r = sar_tool(strict ? std::vector<std::string>{"--strict"}
                                                : std::vector<std::string>{})->wait();
      c.mend();
      EXPECT_EQ(r.status, strict ? 4 : 0);
      if (strict) {
        EXPECT_THAT(r.out, HasSubstr(" step=state apply=-\n"));
      }
      if (!strict && c.default_writes) {
        EXPECT_THAT(records(r.err), Contains("E src/main [tessel] the note of this update is kept in " +
                                             c.where + ", which a reboot empties: make " +
                                             kStateDirectory + " persistent (see tessel(1))"));
        EXPECT_THAT(requests_from(before), ElementsAreArray(kWholeUpdate));
        continue;
      }
      EXPECT_THAT(r.err, HasSubstr("tessel: cannot keep the note of this update in " + c.where +
                                   " (" + c.why + "): nothing was written to the modem"));
      EXPECT_THAT(requests_from(before), ElementsAreArray(Requests{"22 0000bb81"}));
    }
  }
  // With the record writable again, an update goes through.
  const process::Result r = sar_tool({"--strict", "--force"})->wait();
  EXPECT_EQ(r.out, updated_line());
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
      const Outcome r1 = tessel({"--command", "sar_tool", "-d", node, "-f", table_->path(), "--strict"});
      EXPECT_LT(r1.elapsed, std::chrono::seconds(3)) << "it waited for an answer that cannot come";
      EXPECT_EQ(r1.result.status, 4) << r1.result.err;
      EXPECT_THAT(r1.result.out, StartsWith(kUnInit)) << "the channel was closed, the lock released";
      EXPECT_THAT(r1.result.out, EndsWith(std::string(" step=") + c.step + " apply=-\n"));
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
        {"--command", "sar_tool", "-d", node, "-f", table_->path(), "--strict"});
    EXPECT_EQ(r2.status, 0) << r2.err;
    EXPECT_EQ(r2.out, updated_line());
    EXPECT_THAT(describe(second.rx()), ElementsAreArray(c.second_run));
  }
}

// Kill the run at each request it sends (the modem acts on it and stays
// silent), or cut it off there by a hang-up; then run again. After the
// second run the modem holds the file's table, applied, with
// DIAG-over-MBIM off, and --strict says so. A table of three chunks sends
// eight requests: digest, on, three chunks, off, read-back, apply.
class CrashSweep : public UnfinishedUpdate {
 protected:
  CrashSweep() { table_ = std::make_unique<process::TempFile>(pattern(3000, 43)); }
  static constexpr int kRequests = 8;
  void expect_finished(const process::Result& second, const std::string& notes) {
    EXPECT_EQ(second.status, 0) << second.err;
    EXPECT_THAT(second.out, HasSubstr("result=updated "));
    EXPECT_THAT(second.out, HasSubstr(" step=- apply=confirmed\n"));
    EXPECT_EQ(stored_.read(), table_->read());
    const Requests all = describe(modem_->rx());
    std::string last_switch;
    for (const std::string& r : all) {
      if (r.rfind("21 ", 0) == 0) last_switch = r;
    }
    EXPECT_EQ(last_switch, "21 0022");
    const std::string applied = "CID 23: apply item key 48001: table of 3000 bytes, md5 ";
    const size_t at = notes.rfind(applied);
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(notes.substr(at + applied.size(), 32), md5_hex(table_->read()));
  }
};

TEST_F(CrashSweep, ARunKilledAtAnyRequestIsFinishedByTheNext) {
  for (int n = 1; n <= kRequests; ++n) {
    SCOPED_TRACE("killed at request " + std::to_string(n));
    start({"--mute-at", std::to_string(n)});
    auto first = sar_tool({"--strict"});
    ASSERT_TRUE(received(static_cast<size_t>(n)));
    kill(first->pid(), SIGKILL);
    EXPECT_EQ(first->wait().signal, SIGKILL);
    const process::Result second = sar_tool({"--strict"})->wait();
    expect_finished(second, modem_->notes());
  }
}

// The same, with the answer lost to a hang-up: the proxy's socket file,
// whose connection ends while the simulated modem lives on. The cut-off run
// ends at once, failed; the next one finishes the update.
TEST_F(CrashSweep, ARunCutOffAtAnyRequestIsFinishedByTheNext) {
  if (geteuid() != 0 || !process::isolated()) {
    GTEST_SKIP() << "needs root and a /var/volatile of its own: " << process::kNotIsolated;
  }
  const std::string socket = "/var/volatile/mbim-proxy";
  for (int n = 1; n <= kRequests; ++n) {
    SCOPED_TRACE("cut off at request " + std::to_string(n));
    forget_device_states();
    modem_ = std::make_unique<process::Simulator>(std::vector<std::string>{
        "--socket", socket, "--table-out", stored_.path(), "--mute-at", std::to_string(n),
        "--hangup-on-mute"});
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
    const std::vector<std::string> run = {"--command", "sar_tool", "-d", socket, "-f",
                                          table_->path(), "--strict"};
    const Outcome first = tessel(run);
    EXPECT_NE(first.result.status, 0);
    EXPECT_LT(first.elapsed, std::chrono::seconds(3));
    const process::Result second = tessel(run).result;
    expect_finished(second, modem_->notes());
  }
}

}  // namespace
}  // namespace e2e

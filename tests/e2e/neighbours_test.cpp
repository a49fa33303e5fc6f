// The tool among neighbours on a real device: a second tessel run on the
// same modem, and one that may not wait for it or is stopped while waiting;
// the lock against another local user (what they can plant at its path)
// and a second name of a node; a table file rewritten while it is sent; a
// stop signal in the middle of a write, and a hang-up the caller ignored;
// closed standard descriptors; a process list that cannot be read; paths
// of the wrong kind; and a node that yields nothing but garbage. Each case
// ends with the modem in a known state and the process ended within its
// deadlines.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "e2e.h"
#include "isolation.h"

namespace e2e {
namespace {

// The requests of a whole update of item 48001 for a table of `size` bytes.
Requests update_of(size_t size) {
  Requests r = {"22 0000bb81", "21 0012"};
  for (size_t offset = 0; offset < size; offset += 1024) {
    const size_t n = size - offset < 1024 ? size - offset : 1024;
    r.push_back("25 item=48001 len=" + std::to_string(n) + (offset == 0 ? " first" : " next"));
  }
  r.insert(r.end(), {"21 0022", "22 0000bb81", "23 bb81"});
  return r;
}

Requests join(Requests a, const Requests& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class Neighbours : public ModemTest {
 protected:
  void start(const std::vector<std::string>& knobs) {
    modem_ = start_modem_storing(stored_, knobs);
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
  }

  // sar_tool on the modem for `table`, in the background.
  std::unique_ptr<process::Child> sar_tool(const process::TempFile& table,
                                           std::vector<std::string> more = {}) {
    more.insert(more.begin(), {"--command", "sar_tool", "-d", modem_->path(), "-f", table.path()});
    return process::start_tool(more);
  }

  bool received(size_t n) const { return e2e::received(*modem_, n); }

  Requests requests() const { return describe(modem_->rx()); }

  // Both runs of `size`-byte tables ended well, the second after waiting for
  // the first; the modem got one whole update after the other and holds
  // `second`, never a mix of both.
  void expect_one_after_the_other(const process::Result& ra, const process::Result& rb, size_t size,
                                  const process::TempFile& second) {
    EXPECT_EQ(ra.status, 0) << ra.err;
    EXPECT_EQ(rb.status, 0) << rb.err;
    EXPECT_THAT(records(rb.err), Contains(HasSubstr("is in use by another tessel run; waiting")));
    EXPECT_THAT(requests(), ElementsAreArray(join(update_of(size), update_of(size))));
    EXPECT_EQ(stored_.read(), second.read());
  }

  process::TempFile stored_;
  std::unique_ptr<process::Simulator> modem_;
};

// The second run waits for the first to close the channel: the modem gets
// one whole update after the other and ends up with the second table, never
// a mix of both.
TEST_F(Neighbours, TwoUpdatesOfOneModemRunOneAfterTheOther) {
  start({"--delay", "25:100"});
  const process::TempFile first(pattern(8000, 1));
  const process::TempFile second(pattern(8000, 2));
  auto a = sar_tool(first);
  ASSERT_TRUE(received(1));
  auto b = sar_tool(second);
  const process::Result ra = a->wait();
  const process::Result rb = b->wait();
  expect_one_after_the_other(ra, rb, 8000, second);
}

// A run that may not wait gives up at once, says so, and sends nothing.
TEST_F(Neighbours, ARunThatCannotHaveTheModemInTimeGivesUpWithoutSendingAnything) {
  start({"--delay", "25:100"});
  const process::TempFile first(pattern(4000, 3));
  const process::TempFile second(pattern(4000, 4));
  auto a = sar_tool(first);
  ASSERT_TRUE(received(1));
  const process::Result rb = sar_tool(second, {"--lock-wait", "0", "--strict"})->wait();
  EXPECT_EQ(rb.status, 8);
  EXPECT_EQ(rb.out, "UnInit\nresult=failed item=48001 size=- file_md5=- modem_md5=- step=lock apply=-\n");
  EXPECT_THAT(rb.err, HasSubstr("tessel: " + modem_->path() +
                                " is in use by another tessel run (waited 0 s)\n"));
  const process::Result ra = a->wait();
  EXPECT_EQ(ra.status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(update_of(4000)));
  EXPECT_EQ(stored_.read(), first.read());
}

// A stop signal ends a run that waits for the lock at once, by the signal,
// without sending anything and without a word beyond the wait's own line.
TEST_F(Neighbours, AStopSignalEndsTheWaitForTheLock) {
  start({"--delay", "25:500"});  // the first run holds it two seconds
  const process::TempFile first(pattern(4000, 13));
  const process::TempFile second(pattern(4000, 14));
  auto a = sar_tool(first);
  ASSERT_TRUE(received(1));
  auto b = sar_tool(second, {"--lock-wait", "60"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));  // well into its wait
  const auto begin = std::chrono::steady_clock::now();
  kill(b->pid(), SIGTERM);
  const process::Result rb = b->wait();
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
  EXPECT_EQ(rb.signal, SIGTERM);
  // The one word is the wait's own, said when it began; nothing about
  // giving up.
  const std::string waiting =
      "tessel: " + modem_->path() + " is in use by another tessel run; waiting up to 60 s\n";
  EXPECT_THAT(rb.err, HasSubstr(waiting));
  EXPECT_EQ(rb.err.find("tessel: "), rb.err.find(waiting));
  EXPECT_EQ(rb.err.find("tessel: ", rb.err.find(waiting) + 1), std::string::npos) << rb.err;
  EXPECT_EQ(a->wait().status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(update_of(4000)));
}

constexpr uid_t kNobody = 65534;
constexpr char kLockDirectory[] = "/run/tessel";

// Root's lock of the node at `path`: named after its device number.
std::string lock_of(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return "";
  return std::string(kLockDirectory) + "/char-" + std::to_string(major(st.st_rdev)) + "-" +
         std::to_string(minor(st.st_rdev)) + ".lock";
}

// The lock tests plant things in root's lock directory, which only the
// private /run of isolated.sh keeps away from the host's.
class Lock : public Neighbours {
 protected:
  void SetUp() override {
    Neighbours::SetUp();
    if (IsSkipped()) return;
    if (geteuid() != 0 || !process::isolated()) {
      GTEST_SKIP() << "needs root in a /run of its own: " << process::kNotIsolated;
    }
  }
};

// A run as root leaves its lock in root's own directory, mode 0600, where
// nobody can neither open it (to hold it), nor create a file (to plant
// one), nor remove it.
TEST_F(Lock, NobodyCannotOpenCreateOrRemoveRootsLock) {
  start({});
  const process::TempFile table(pattern(100, 9));
  ASSERT_EQ(sar_tool(table)->wait().status, 0);
  const std::string lock = lock_of(modem_->path());
  struct stat st;
  ASSERT_EQ(lstat(lock.c_str(), &st), 0) << lock;
  EXPECT_EQ(st.st_mode, S_IFREG | 0600);
  ASSERT_EQ(lstat(kLockDirectory, &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0755u);
  EXPECT_EQ(st.st_uid, 0u);
  // As nobody, in a child of this process: one bit for each thing done.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(64);
    int done = 0;
    if (const int fd = open(lock.c_str(), O_RDONLY); fd >= 0) done |= 1;
    const std::string planted = std::string(kLockDirectory) + "/planted.lock";
    if (open(planted.c_str(), O_CREAT | O_WRONLY, 0600) >= 0) done |= 2;
    if (unlink(lock.c_str()) == 0) done |= 4;
    _exit(done);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1 opened, 2 created, 4 removed, 64 not nobody";
  EXPECT_EQ(lstat(lock.c_str(), &st), 0);
}

// Whatever stands at the lock path that is not root's own plain file ends
// the run at once as a lock it could not get, says why, and sends nothing.
TEST_F(Lock, ALinkAFifoOrAForeignFileAtTheLockPathEndsTheRunAtOnce) {
  start({});
  const process::TempFile table(pattern(100, 10));
  const process::TempFile target;
  const std::string lock = lock_of(modem_->path());
  ASSERT_EQ(mkdir(kLockDirectory, 0755) == 0 || errno == EEXIST, true);
  struct Case {
    const char* what;
    std::vector<std::string> more;
    int status;
    std::string out;
    std::string why;
  };
  const std::string failed = "UnInit\nresult=failed item=48001 size=- file_md5=- modem_md5=- step=lock apply=-\n";
  const std::vector<Case> cases = {
      {"link", {"--strict"}, 8, failed, "Too many levels of symbolic links"},
      {"fifo", {"--strict"}, 8, failed, "not a regular file"},
      {"fifo", {}, 0, "UnInit\n", "not a regular file"},  // the default status stays 0
      {"directory", {"--strict"}, 8, failed, "Is a directory"},
      {"foreign", {"--strict"}, 8, failed, "owned by another user"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.what) + (c.more.empty() ? "" : " --strict"));
    unlink(lock.c_str());
    rmdir(lock.c_str());
    const std::string what = c.what;
    int made = -1;
    if (what == "link") {
      made = symlink(target.path().c_str(), lock.c_str());
    } else if (what == "fifo") {
      made = mkfifo(lock.c_str(), 0600);
    } else if (what == "directory") {
      made = mkdir(lock.c_str(), 0700);
    } else if (const int fd = open(lock.c_str(), O_CREAT | O_WRONLY, 0600); fd >= 0) {
      made = fchown(fd, kNobody, kNobody);
      close(fd);
    }
    ASSERT_EQ(made, 0) << std::strerror(errno);
    std::vector<std::string> more = {"--lock-wait", "10"};
    more.insert(more.end(), c.more.begin(), c.more.end());
    const auto begin = std::chrono::steady_clock::now();
    const process::Result r = sar_tool(table, more)->wait();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_THAT(r.err, HasSubstr("tessel: cannot use the lock " + lock + ": " + c.why + "\n"));
    EXPECT_THAT(records(r.err), Contains(StartsWith("E src/api [tessel] cannot use the lock " + lock +
                                                    " (" + c.why + "); not going on without it")));
    EXPECT_THAT(r.err, Not(HasSubstr("in use by another tessel run")));
  }
  unlink(lock.c_str());
  EXPECT_THAT(requests(), ElementsAreArray(Requests{}));
  EXPECT_EQ(target.read(), std::vector<unsigned char>{}) << "the link was followed";
}

// A second name of the same node (a bind mount, as udev's /dev/char links
// or a container's /dev give) shares the first name's lock: the second run
// waits, and the modem gets one whole update after the other.
TEST_F(Lock, TwoNamesOfOneNodeShareOneLock) {
  start({"--delay", "25:100"});
  const process::TempFile other_name;
  ASSERT_EQ(mount(modem_->path().c_str(), other_name.path().c_str(), nullptr, MS_BIND, nullptr), 0)
      << std::strerror(errno);
  const process::TempFile first(pattern(3000, 11));
  const process::TempFile second(pattern(3000, 12));
  auto a = sar_tool(first);
  ASSERT_TRUE(received(1));
  const process::Result rb =
      process::run_tool({"--command", "sar_tool", "-d", other_name.path(), "-f", second.path()});
  const process::Result ra = a->wait();
  umount2(other_name.path().c_str(), MNT_DETACH);
  expect_one_after_the_other(ra, rb, 3000, second);
}

// The bytes sent are hashed as they go; a file rewritten in place once the
// write has begun no longer hashes to the digest taken before, so its last
// chunk is kept back, DIAG-over-MBIM is switched off and nothing is applied.
TEST_F(Neighbours, ATableRewrittenDuringTheWriteIsNeitherFinishedNorApplied) {
  start({"--delay", "25:30"});
  // Larger than the 16 KiB the write reads ahead, so later pieces are read
  // after the rewrite.
  const size_t size = 40000;
  const process::TempFile table(pattern(size, 5));
  auto run = sar_tool(table, {"--strict"});
  ASSERT_TRUE(received(4));  // the digest, DIAG on, two chunks
  const std::vector<unsigned char> other = pattern(size, 6);
  const int fd = open(table.path().c_str(), O_WRONLY);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(pwrite(fd, other.data(), other.size(), 0), static_cast<ssize_t>(size));
  close(fd);
  const process::Result r = run->wait();
  EXPECT_EQ(r.status, 4);
  EXPECT_THAT(r.out, StartsWith("UnInit\nresult=failed item=48001 size=40000 "));
  EXPECT_THAT(r.out, HasSubstr(" step=write apply=-\n"));
  EXPECT_THAT(records(r.err), Contains(HasSubstr("changed while it was sent")));
  Requests expected = update_of(size);
  expected.erase(expected.end() - 4, expected.end());  // the last chunk and what follows
  expected.push_back("21 0022");
  EXPECT_THAT(requests(), ElementsAreArray(expected));
}

// SIGTERM in the middle of the write: the chunk in flight is answered,
// DIAG-over-MBIM goes off, nothing is applied, and the process ends by the
// signal as it always did.
TEST_F(Neighbours, SigtermMidWriteSwitchesDiagOffAppliesNothingAndEndsByTheSignal) {
  start({"--delay", "25:100"});
  const process::TempFile table(pattern(8000, 7));
  auto run = sar_tool(table);
  ASSERT_TRUE(received(3));  // the first chunk is in flight
  kill(run->pid(), SIGTERM);
  const process::Result r = run->wait();
  EXPECT_EQ(r.signal, SIGTERM);
  EXPECT_EQ(r.out, "UnInit\n");
  EXPECT_THAT(records(r.err), Contains(HasSubstr("stopped by signal 15")));
  const Requests got = requests();
  ASSERT_GE(got.size(), 4u);
  EXPECT_LT(got.size(), update_of(8000).size() - 3);  // fewer than all eight chunks
  EXPECT_EQ(got.back(), "21 0022");
  EXPECT_THAT(got, Not(Contains("23 bb81")));
}

// Started the way nohup starts it, with SIGHUP ignored: a hang-up in the
// middle of the write changes nothing, the update runs to its end.
TEST_F(Neighbours, AnIgnoredHangUpStaysIgnored) {
  if (const char* emulator = std::getenv("TESSEL_TEST_EMULATOR"); emulator != nullptr && *emulator != '\0') {
    GTEST_SKIP() << "under an emulator the shell this test starts is not the target's";
  }
  start({"--delay", "25:100"});
  const process::TempFile table(pattern(3000, 9));
  process::Options o;
  o.unset = {"VERBOSE"};
  const char* script = "trap '' HUP; exec \"$0\" --command sar_tool -d \"$1\" -f \"$2\"";
  process::Child run({"/bin/sh", "-c", script, TESSEL_BIN, modem_->path(), table.path()}, o);
  ASSERT_TRUE(received(3));  // the first chunk is in flight
  kill(run.pid(), SIGHUP);
  const process::Result r = run.wait();
  EXPECT_EQ(r.signal, 0);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_THAT(records(r.err), Not(Contains(HasSubstr("stopped by signal"))));
  EXPECT_THAT(requests(), ElementsAreArray(update_of(3000)));
  EXPECT_EQ(stored_.read(), table.read());
}

// Started with 0, 1 and 2 closed, the tool must not hand those numbers to
// its pipe or the node: log lines (standard error) would go into the modem.
TEST_F(Neighbours, ClosedStandardDescriptorsKeepTheLogOutOfTheChannel) {
  const char* emulator = std::getenv("TESSEL_TEST_EMULATOR");
  if (emulator != nullptr && *emulator != '\0') {
    GTEST_SKIP() << "under an emulator the emulator's own files take the lowest descriptors";
  }
  start({});
  process::Options o;
  o.env = {"VERBOSE=1"};
  const process::Result r = process::run(
      {"/bin/sh", "-c", "exec \"$0\" --command debug_tool -d \"$1\" -a ATI --strict <&- >&- 2>&-",
       TESSEL_BIN, modem_->path()},
      o);
  // 13: the run succeeded (a failed one keeps its own status) but its
  // result could not be written to the closed standard output.
  EXPECT_EQ(r.status, 13) << "the reply did not arrive: output went into the stop pipe?";
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"at 00000000415449"}));
  EXPECT_EQ(modem_->drops(), 0u) << "text written into the channel";
}

// With few descriptors left the process-list check for mbim-proxy cannot
// run. The run must then end at connect with nothing sent, never take "no
// proxy" for granted and open the node behind a proxy's back; with enough
// descriptors the check runs and the run goes on.
TEST_F(Neighbours, AProcessListThatCannotBeReadNeverOpensTheNode) {
  const char* emulator = std::getenv("TESSEL_TEST_EMULATOR");
  if (emulator != nullptr && *emulator != '\0') {
    GTEST_SKIP() << "under an emulator the emulator's own files take descriptors";
  }
  start({});
  bool failed_closed = false;
  bool went_on = false;
  for (int limit = 4; limit <= 16; ++limit) {
    SCOPED_TRACE("RLIMIT_NOFILE " + std::to_string(limit));
    const size_t before = requests().size();
    const process::Result r = process::run(
        {"/bin/sh", "-c", "ulimit -n \"$2\" && exec \"$0\" --command sar_tool -d \"$1\" --query",
         TESSEL_BIN, modem_->path(), std::to_string(limit)});
    if (r.err.find("tessel: cannot read the process list to look for mbim-proxy: not opening " +
                   modem_->path() + "\n") != std::string::npos) {
      failed_closed = true;
      EXPECT_EQ(r.status, 2);
      EXPECT_THAT(r.out, HasSubstr(" step=connect "));
      EXPECT_EQ(requests().size(), before);
    } else if (r.status == 0) {
      went_on = true;
      EXPECT_THAT(records(r.err), Contains("I src/mbim_ctx [tessel] fread buff:"));
    }
  }
  EXPECT_TRUE(failed_closed);
  EXPECT_TRUE(went_on);
}

// Paths of the wrong kind: a regular file is no modem and is not written
// to; -d and -f swapped are refused before anything is opened; a FIFO as
// the table is refused instead of waiting for a writer.
TEST_F(Neighbours, PathsOfTheWrongKindAreRefusedAndNothingIsOverwritten) {
  start({});
  const std::vector<unsigned char> bytes = pattern(100, 8);
  const process::TempFile table(bytes);
  const std::string fifo = table.path() + ".fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Case {
    std::vector<std::string> args;
    std::string out;
    std::string err;
    int status;
  };
  const std::vector<Case> cases = {
      {{"debug_tool", "-d", table.path(), "-a", "ATI"}, "UnInit\n",
       table.path() + ": Not a character device\n", 0},
      {{"debug_tool", "-d", table.path(), "-a", "ATI", "--strict"},
       "UnInit\nresult=failed final=- code=- step=connect\n",
       table.path() + ": Not a character device\n", 2},
      {{"sar_tool", "-d", table.path(), "-f", modem_->path()}, "",
       "sar_tool: " + modem_->path() + ": not a regular file\n", 255},
      {{"sar_tool", "-d", modem_->path(), "-f", fifo}, "",
       "sar_tool: " + fifo + ": not a regular file\n", 255},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--command"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const Outcome r = tessel(args);
    SCOPED_TRACE(c.args[0] + " " + c.args[2] + " " + c.args[3] + " " + c.args[4]);
    EXPECT_EQ(r.result.out, c.out);
    EXPECT_THAT(r.result.err, HasSubstr(c.err));
    EXPECT_EQ(r.result.status, c.status);
    EXPECT_EQ(table.read(), bytes);
  }
  unlink(fifo.c_str());
  EXPECT_THAT(requests(), ElementsAreArray(Requests{}));
}

// A node that yields only unusable bytes is taken for lost after 64 KiB:
// one record, a handful of drop records, and the run ends at once instead
// of reading and logging until the 30-second deadline.
TEST_F(Neighbours, ANodeOfEndlessGarbageIsGivenUpAtOnce) {
  const Outcome r = tessel({"--command", "debug_tool", "-d", "/dev/zero", "-a", "ATI", "--strict"});
  EXPECT_EQ(r.result.status, 11);
  EXPECT_EQ(r.result.out, "Send > ATI\nUnInit\nresult=failed final=- code=- step=answer\n");
  EXPECT_LT(r.elapsed.count(), 5000);
  const auto log = records(r.result.err);
  EXPECT_EQ(std::count_if(log.begin(), log.end(),
                          [](const std::string& s) { return s.find("channel lost") != std::string::npos; }),
            1);
  EXPECT_LT(log.size(), 60u);
}

}  // namespace
}  // namespace e2e

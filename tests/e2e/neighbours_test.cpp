// The tool among neighbours on a real device: a second tessel run on the
// same modem, a table file rewritten while it is sent, a stop signal in the
// middle of a write (and one the caller ignored), closed standard
// descriptors, paths of the wrong kind, and a node that yields nothing but
// garbage. Each case ends with the modem in a known state and the process
// ended within its deadlines.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
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
    std::vector<std::string> all = {"--table-out", stored_.path()};
    all.insert(all.end(), knobs.begin(), knobs.end());
    modem_ = start_modem(all);
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
  }

  // sar_tool on the modem for `table`, in the background.
  std::unique_ptr<process::Child> sar_tool(const process::TempFile& table,
                                           const std::vector<std::string>& more = {}) {
    std::vector<std::string> argv = {TESSEL_BIN, "--command", "sar_tool", "-d", modem_->path(),
                                     "-f", table.path()};
    argv.insert(argv.end(), more.begin(), more.end());
    process::Options o;
    o.unset = {"VERBOSE"};
    return std::make_unique<process::Child>(argv, o);
  }

  // Waits up to five seconds for the modem to have received `n` requests.
  bool received(size_t n) const {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < until) {
      if (modem_->rx().size() >= n) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }

  Requests requests() const { return describe(modem_->rx()); }

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
  EXPECT_EQ(ra.status, 0) << ra.err;
  EXPECT_EQ(rb.status, 0) << rb.err;
  EXPECT_THAT(records(rb.err), Contains(HasSubstr("is in use by another tessel run; waiting")));
  EXPECT_THAT(requests(), ElementsAreArray(join(update_of(8000), update_of(8000))));
  EXPECT_EQ(stored_.read(), second.read());
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
  EXPECT_EQ(rb.out, "UnInit\nresult=failed item=48001 size=- file_md5=- modem_md5=- step=lock\n");
  EXPECT_THAT(rb.err, HasSubstr("tessel: " + modem_->path() +
                                " is in use by another tessel run (waited 0 s)\n"));
  const process::Result ra = a->wait();
  EXPECT_EQ(ra.status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(update_of(4000)));
  EXPECT_EQ(stored_.read(), first.read());
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
  EXPECT_THAT(r.out, HasSubstr(" step=write\n"));
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

// The three roads of ctx_connect against the modem simulator: the socket file
// /var/volatile/mbim-proxy, the proxy's abstract socket (found through the
// process list), and the device node. Each test asserts the records the
// connection writes, with their levels, the road taken, and that one request
// is answered over the channel it opened.
//
// The roads depend on machine-wide names (the process list, the abstract
// socket "mbim-proxy", /var/volatile), so these tests run only inside the
// private namespaces that tests/support/isolated.sh sets up.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "capture_log.h"
#include "transport/exchange.h"
#include "transport/transport.h"
#include "mbim_format/build_command.h"
#include "byte_order/byte_order.h"
#include "isolation.h"
#include "mbim_answer.h"
#include "mbim_format/transaction_id.h"
#include "process.h"

namespace {

using tessel::Road;

constexpr uint32_t kNormal = 2;  // level mask of progress records
constexpr uint32_t kError = 8;   // level mask of error records
constexpr uint32_t kAnswerSeconds = 2;

constexpr char kSocketFile[] = "/var/volatile/mbim-proxy";
constexpr char kLongerSocketPath[] = "/var/volatile/mbim-proxyXYZ";
constexpr tessel::Uuid kBasicConnect = tessel::kUuidBasicConnect;
constexpr char kReaderStarted[] = "[tessel] mbim_read_thread is created";

// One log record as the connection wrote it.
struct Rec {
  uint32_t level;
  std::string format;
  std::string text;
  bool operator==(const Rec& o) const {
    return level == o.level && format == o.format && text == o.text;
  }
};

void PrintTo(const Rec& r, std::ostream* os) {
  *os << "{level " << r.level << ", \"" << r.format << "\" → \"" << r.text << "\"}";
}

// The records written so far, less the reader thread's own, which arrives
// whenever that thread gets to run.
std::vector<Rec> connect_records() {
  std::vector<Rec> out;
  for (const capture_log::Record& r : capture_log::records()) {
    if (r.format != kReaderStarted) out.push_back({r.level, r.format, r.text});
  }
  return out;
}

bool recorded(const std::string& format) { return !capture_log::with_format(format).empty(); }

// Sends a device-caps query and expects its MBIM_COMMAND_DONE with Status 0;
// returns the request's bytes so the test can find them in the modem's log.
std::vector<uint8_t> expect_exchange_answered() {
  tessel::MessagePtr request =
      tessel::build_command(kBasicConnect, /*cid=*/1, tessel::kCommandQuery, nullptr, 0);
  if (!request) {
    ADD_FAILURE() << "no request built";
    return {};
  }
  const uint32_t length = tessel::get_le32(request.get() + tessel::kMessageLengthOffset);
  std::vector<uint8_t> sent(request.get(), request.get() + length);
  uint8_t* response = nullptr;
  EXPECT_TRUE(tessel::send_and_wait(request.get(), &response, kAnswerSeconds).ok());
  if (response == nullptr) return sent;
  tessel::MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response + tessel::kMessageTypeOffset), tessel::MBIM_COMMAND_DONE);
  EXPECT_EQ(tessel::get_le32(response + tessel::kTransactionIdOffset),
            tessel::get_le32(sent.data() + tessel::kTransactionIdOffset));
  EXPECT_EQ(tessel::get_le32(response + tessel::kCommandDoneStatusOffset), 0u);
  return sent;
}

// One exchange over the channel just opened; `peer` must have received the
// test's request and nothing else: no road sends anything of its own.
void expect_only_the_request_reaches(const process::Simulator& peer) {
  const std::vector<uint8_t> sent = expect_exchange_answered();
  ASSERT_EQ(peer.rx().size(), 1u) << "the transport sends nothing of its own on connecting";
  EXPECT_EQ(peer.rx()[0], sent);
}

// The records of a connect to `name` refused with `error`.
std::vector<Rec> refused(const std::string& name, int error) {
  return {{kNormal, "[tessel] Fail to connect '%s', errno (%s)",
           "[tessel] Fail to connect '" + name + "', errno (" + std::strerror(error) + ")"},
          {kError, "[tessel] Error number:%d", "[tessel] Error number:" + std::to_string(error)}};
}

// The records of the socket-file road up to its connect: the fixed path it
// names whatever longer path the caller gave.
const std::vector<Rec> kSocketFileNamed = {
    {kNormal, "[tessel] addr.sun_path:%s", "[tessel] addr.sun_path:/var/volatile/mbim-proxy"}};

// The records of a socket-file road that connected.
std::vector<Rec> socket_file_connected() {
  std::vector<Rec> out = kSocketFileNamed;
  out.push_back({kNormal, "[tessel] connet %s", "[tessel] connet /var/volatile/mbim-proxy"});
  return out;
}

// The records of a socket-file road refused with `error`: no fallback.
std::vector<Rec> socket_file_refused(int error) {
  std::vector<Rec> out = kSocketFileNamed;
  for (Rec& r : refused(kSocketFile, error)) out.push_back(r);
  out.push_back({kError, "[tessel] return error mbim_fd = %d", "[tessel] return error mbim_fd = -1"});
  return out;
}

// The records after the process list's, which must name the proxy.
std::vector<Rec> records_after_a_listed_proxy() {
  std::vector<Rec> records = connect_records();
  if (records.empty()) {
    ADD_FAILURE() << "no records";
    return records;
  }
  EXPECT_EQ(records[0].format, "[tessel] fread buff:%s");
  EXPECT_NE(records[0].text.find("mbim-proxy"), std::string::npos) << records[0].text;
  records.erase(records.begin());
  return records;
}

// A process named "mbim-proxy" that listens on nothing: the process list
// shows the proxy, but its socket refuses every connection.
class ProxyNameOnly {
 public:
  ProxyNameOnly() {
    int ready[2];
    if (pipe(ready) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(ready[0]);
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      prctl(PR_SET_NAME, reinterpret_cast<unsigned long>("mbim-proxy"), 0, 0, 0);
      const char byte = 1;
      if (write(ready[1], &byte, 1) != 1) _exit(1);
      for (;;) pause();
    }
    close(ready[1]);
    char byte = 0;
    ok_ = pid_ > 0 && read(ready[0], &byte, 1) == 1;
    close(ready[0]);
  }
  ~ProxyNameOnly() {
    if (pid_ <= 0) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  ProxyNameOnly(const ProxyNameOnly&) = delete;
  ProxyNameOnly& operator=(const ProxyNameOnly&) = delete;
  bool ok() const { return ok_; }

 private:
  pid_t pid_ = -1;
  bool ok_ = false;
};

// Leaves a socket file at `path` that nobody listens on, as a proxy that
// died without cleaning up does.
bool leave_stale_socket(const char* path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path, sizeof addr.sun_path - 1);
  const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return bound;
}

class Roads : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!process::isolated()) GTEST_SKIP() << process::kNotIsolated;
    isolated_ = true;  // from here on /var/volatile is this test's own tmpfs
    unlink(kSocketFile);
    unlink(kLongerSocketPath);
    capture_log::clear();
    ASSERT_TRUE(tessel::ctx_init(/*verbose=*/0).ok());
  }
  void TearDown() override {
    if (!isolated_) return;  // never touch the machine's own /var/volatile
    tessel::ctx_deinit();
    unlink(kSocketFile);
    unlink(kLongerSocketPath);
  }

 private:
  bool isolated_ = false;
};

TEST_F(Roads, DeviceNodeIsOpenedWhenTheProcessListLacksTheProxy) {
  process::Simulator modem({"--pty"});
  ASSERT_TRUE(modem.ready()) << modem.notes();

  ASSERT_TRUE(tessel::ctx_connect(modem.path().c_str()).ok());

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] fread buff:%s", "[tessel] fread buff:"},
      {kNormal, "[tessel] use %s directly", "[tessel] use " + modem.path() + " directly"},
  };
  EXPECT_EQ(connect_records(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kDeviceNode);
  expect_only_the_request_reaches(modem);
}

TEST_F(Roads, AbstractSocketIsUsedWhenTheProxyIsListedWhateverThePath) {
  process::Simulator proxy({"--abstract"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  ASSERT_TRUE(tessel::ctx_connect("/dev/null").ok());

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] use mbim-proxy\n\n", "[tessel] use mbim-proxy\n\n"},
      {kNormal, "[tessel] connet sunccess ('%s')", "[tessel] connet sunccess ('mbim-proxy')"},
  };
  EXPECT_EQ(records_after_a_listed_proxy(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kAbstractSocket);
  expect_only_the_request_reaches(proxy);
}

TEST_F(Roads, ListedProxyThatRefusesFallsBackToTheDeviceNode) {
  process::Simulator modem({"--pty"});
  ASSERT_TRUE(modem.ready()) << modem.notes();
  ProxyNameOnly listed;
  ASSERT_TRUE(listed.ok());

  ASSERT_TRUE(tessel::ctx_connect(modem.path().c_str()).ok());

  std::vector<Rec> expected = {{kNormal, "[tessel] use mbim-proxy\n\n", "[tessel] use mbim-proxy\n\n"}};
  for (const Rec& r : refused("mbim-proxy", ECONNREFUSED)) expected.push_back(r);
  expected.push_back({kNormal, "[tessel] use %s directly", "[tessel] use " + modem.path() + " directly"});
  EXPECT_EQ(records_after_a_listed_proxy(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kDeviceNode);
  expect_exchange_answered();
}

TEST_F(Roads, MissingPathFailsAtTheExistenceCheckEvenWhileTheProxyRuns) {
  process::Simulator proxy({"--abstract"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  const char* missing = "/dev/tessel-no-such-modem";

  EXPECT_EQ(tessel::ctx_connect(missing).code, tessel::Code::kNoChannel);

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] fail to access %s", "[tessel] fail to access /dev/tessel-no-such-modem"},
  };
  EXPECT_EQ(connect_records(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kNone);
  EXPECT_FALSE(recorded(kReaderStarted));
}

TEST_F(Roads, SocketFileRoadConnectsToTheFixedSocketFile) {
  process::Simulator proxy({"--socket", kSocketFile});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  ASSERT_TRUE(tessel::ctx_connect(kSocketFile).ok());

  EXPECT_EQ(connect_records(), socket_file_connected()) << "no process-list check on this road";
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  expect_only_the_request_reaches(proxy);
}

TEST_F(Roads, LongerPathStillConnectsToTheFixedSocketFile) {
  process::Simulator proxy({"--socket", kSocketFile});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  std::ofstream(kLongerSocketPath).put('x');  // the path must exist

  ASSERT_TRUE(tessel::ctx_connect(kLongerSocketPath).ok());

  EXPECT_EQ(connect_records(), socket_file_connected());
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  expect_only_the_request_reaches(proxy);  // the socket file's listener
}

// Even with a proxy listed and listening on its abstract socket, a refused
// socket file is the end of the road: no other road is tried.
TEST_F(Roads, SocketFileNobodyListensOnFailsWithoutFallback) {
  process::Simulator proxy({"--abstract"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  ASSERT_TRUE(leave_stale_socket(kSocketFile));

  EXPECT_EQ(tessel::ctx_connect(kSocketFile).code, tessel::Code::kNoChannel);

  EXPECT_EQ(connect_records(), socket_file_refused(ECONNREFUSED));
  EXPECT_EQ(tessel::ctx_road(), Road::kNone);
  EXPECT_TRUE(proxy.rx().empty());
  EXPECT_EQ(tessel::send_request(nullptr, nullptr).code, tessel::Code::kNoChannel);
}

TEST_F(Roads, LongerPathWithoutTheSocketFileFailsWithoutFallback) {
  std::ofstream(kLongerSocketPath).put('x');

  EXPECT_EQ(tessel::ctx_connect(kLongerSocketPath).code, tessel::Code::kNoChannel);

  EXPECT_EQ(connect_records(), socket_file_refused(ENOENT)) << "the longer path itself is never opened";
  EXPECT_EQ(tessel::ctx_road(), Road::kNone);
}

TEST_F(Roads, DeinitThenInitAndConnectAgainTakesTheRoadAfresh) {
  process::Simulator proxy({"--socket", kSocketFile});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  process::Simulator modem({"--pty"});
  ASSERT_TRUE(modem.ready()) << modem.notes();

  ASSERT_TRUE(tessel::ctx_connect(kSocketFile).ok());
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  expect_exchange_answered();
  tessel::ctx_deinit();

  ASSERT_TRUE(tessel::ctx_init(/*verbose=*/0).ok());
  ASSERT_TRUE(tessel::ctx_connect(modem.path().c_str()).ok());
  EXPECT_EQ(tessel::ctx_road(), Road::kDeviceNode);
  expect_exchange_answered();
  tessel::ctx_deinit();

  ASSERT_TRUE(tessel::ctx_init(/*verbose=*/0).ok());
  ASSERT_TRUE(tessel::ctx_connect(kSocketFile).ok()) << "the socket file takes a new client";
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  expect_exchange_answered();
  EXPECT_EQ(proxy.rx().size(), 2u);
  EXPECT_EQ(modem.rx().size(), 1u);
}


// A pty pair opened by the test, raw both ways: the test writes on the
// master what a modem would send, the tool opens the slave as its node.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    termios t;
    if (tcgetattr(master_, &t) != 0) return;
    cfmakeraw(&t);
    if (tcsetattr(master_, TCSANOW, &t) != 0) return;
    slave_ = ptsname(master_);
  }
  ~Pty() {
    if (master_ >= 0) close(master_);
  }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  bool ok() const { return !slave_.empty(); }
  const std::string& slave() const { return slave_; }
  int master() const { return master_; }
  // The slave side then reads end of file (or EIO).
  void close_master() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// An earlier run gave up waiting on a digest query; its answer came later
// and still waits on the node. The next run must not take it for the answer
// to its own first request (the same TransactionId, service and CID).
TEST_F(Roads, AnswerLeftOnTheNodeByAnEarlierRunIsDroppedAtConnect) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  const int peek = open(pty.slave().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(peek, 0);
  tessel::set_transaction_counter(0);  // the first request gets TransactionId 1
  const std::vector<uint8_t> stale(16, 0x5E);
  const uint8_t kQmbeBytes[16] = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                                  0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
  const std::vector<uint8_t> late = mbim_answer::command_done(1, 0, stale, -1, kQmbeBytes, 22);
  ASSERT_EQ(write(pty.master(), late.data(), late.size()), static_cast<ssize_t>(late.size()));
  pollfd arrived = {peek, POLLIN, 0};
  ASSERT_EQ(poll(&arrived, 1, 2000), 1);  // it lies in the node's queue
  close(peek);

  ASSERT_TRUE(tessel::ctx_connect(pty.slave().c_str()).ok());
  auto dropped = capture_log::with_format("[tessel] dropped %u stale bytes waiting on the node");
  ASSERT_EQ(dropped.size(), 1u);
  EXPECT_EQ(dropped[0].values, std::vector<uint32_t>{static_cast<uint32_t>(late.size())});

  const uint8_t item[4] = {0x00, 0x00, 0xBB, 0x81};
  tessel::MessagePtr request =
      tessel::build_command(tessel::kUuidQmbe, 22, tessel::kCommandSet, item, 4);
  ASSERT_EQ(tessel::get_le32(request.get() + tessel::kTransactionIdOffset), 1u);
  std::thread modem([&] {
    uint8_t got[4096];
    pollfd p = {pty.master(), POLLIN, 0};
    if (poll(&p, 1, 2000) != 1 || read(pty.master(), got, sizeof got) < 48) return;
    const auto answer = mbim_answer::answer_to(got, 0, std::vector<uint8_t>(16, 0x11));
    EXPECT_EQ(write(pty.master(), answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(request.get(), &response, kAnswerSeconds).ok());
  modem.join();
  tessel::MessagePtr owned(response);
  EXPECT_EQ(response[tessel::kInfoOffset], 0x11) << "the earlier run's answer was taken";
}

// Another reader of the node (a second tool, a stray `cat`) takes messages
// the reader was woken for. The reader must go back to polling, so a stop
// request still ends it: nothing may sit in read() past the deadline.
TEST_F(Roads, MessagesTakenByAnotherReaderOfTheNodeLeaveTheReaderStoppable) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_TRUE(tessel::ctx_connect(pty.slave().c_str()).ok());
  const int thief = open(pty.slave().c_str(), O_RDONLY | O_NOCTTY);  // blocking, as `cat`'s
  ASSERT_GE(thief, 0);
  std::thread stealing([&] {
    uint8_t sink[4096];
    while (read(thief, sink, sizeof sink) > 0) {
    }
  });
  const std::vector<uint8_t> noise = mbim_answer::command_done(0x7000, 0, {});
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(write(pty.master(), noise.data(), noise.size()), static_cast<ssize_t>(noise.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  auto stopped = std::async(std::launch::async, [] { tessel::ctx_deinit(); });
  const bool in_time = stopped.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
  if (!in_time) {
    ADD_FAILURE() << "the reader sits in read(): ctx_deinit cannot join it";
    std::fflush(stdout);
    std::_Exit(1);  // a thread stuck in read() cannot be joined or left behind
  }
  ASSERT_TRUE(tessel::ctx_init(/*verbose=*/0).ok());  // for TearDown
  pty.close_master();  // ends the thief's read
  stealing.join();
  close(thief);
}


// The node is non-blocking; a write that finds it busy (here: a pty whose
// buffer towards the modem is full) waits for it within the exchange's
// deadline instead of failing.
TEST_F(Roads, AWriteToABusyNodeWaitsForItWithinTheDeadline) {
  Pty pty;
  ASSERT_TRUE(pty.ok());
  ASSERT_TRUE(tessel::ctx_connect(pty.slave().c_str()).ok());
  const int filler = open(pty.slave().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(filler, 0);
  const std::vector<uint8_t> junk(512, 0x20);
  while (write(filler, junk.data(), junk.size()) > 0) {
  }
  close(filler);
  tessel::MessagePtr request =
      tessel::build_command(tessel::kUuidQmbe, 21, tessel::kCommandQuery, nullptr, 0);
  std::thread modem([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // Drain the junk, then answer the request that follows it.
    std::vector<uint8_t> seen;
    const uint32_t tid = tessel::get_le32(request.get() + tessel::kTransactionIdOffset);
    const std::vector<uint8_t> wanted(request.get(), request.get() + 48);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < until) {
      pollfd p = {pty.master(), POLLIN, 0};
      if (poll(&p, 1, 50) != 1) continue;
      uint8_t buf[4096];
      const ssize_t n = read(pty.master(), buf, sizeof buf);
      if (n <= 0) break;
      seen.insert(seen.end(), buf, buf + n);
      if (std::search(seen.begin(), seen.end(), wanted.begin(), wanted.end()) != seen.end()) {
        const auto answer = mbim_answer::command_done(tid, 0, {}, -1, request.get() + 20, 21);
        EXPECT_EQ(write(pty.master(), answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
        return;
      }
    }
    ADD_FAILURE() << "the request never arrived";
  });
  uint8_t* response = nullptr;
  EXPECT_TRUE(tessel::send_and_wait(request.get(), &response, kAnswerSeconds).ok());
  modem.join();
  tessel::MessagePtr owned(response);
}

}  // namespace

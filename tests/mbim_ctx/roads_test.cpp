// The three roads of ctx_connect against the modem simulator: the socket file
// /var/volatile/mbim-proxy, the proxy's abstract socket (found through the
// process list), and the device node. Each test asserts the records the
// connection writes, with their levels, the road taken, and that one request
// is answered over the channel it opened.
//
// The roads depend on machine-wide names (the process list, the abstract
// socket "mbim-proxy", /var/volatile), so these tests run only inside the
// private namespaces that tests/support/isolated.sh sets up.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "capture_log.h"
#include "mbim_ctx/exchange.h"
#include "mbim_ctx/transport.h"
#include "mbim_format/build_command.h"
#include "mbim_format/wire.h"
#include "isolation.h"
#include "process.h"

namespace {

using tessel::Road;

constexpr uint32_t kNormal = 2;  // level mask of progress records
constexpr uint32_t kError = 8;   // level mask of error records
constexpr uint32_t kAnswerSeconds = 2;

constexpr char kSocketFile[] = "/var/volatile/mbim-proxy";
constexpr char kLongerSocketPath[] = "/var/volatile/mbim-proxyXYZ";
constexpr char kBasicConnect[] = "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df";
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
  EXPECT_EQ(tessel::send_and_wait(request.get(), &response, kAnswerSeconds), 0);
  if (response == nullptr) return sent;
  tessel::MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response + tessel::kMessageTypeOffset), tessel::MBIM_COMMAND_DONE);
  EXPECT_EQ(tessel::get_le32(response + tessel::kTransactionIdOffset),
            tessel::get_le32(sent.data() + tessel::kTransactionIdOffset));
  EXPECT_EQ(tessel::get_le32(response + tessel::kCommandDoneStatusOffset), 0u);
  return sent;
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
    ASSERT_EQ(tessel::ctx_init(/*verbose=*/0), 0);
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

  ASSERT_EQ(tessel::ctx_connect(modem.path().c_str()), 0);

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] fread buff:%s", "[tessel] fread buff:"},
      {kNormal, "[tessel] use %s directly", "[tessel] use " + modem.path() + " directly"},
  };
  EXPECT_EQ(connect_records(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kDeviceNode);
  const std::vector<uint8_t> sent = expect_exchange_answered();
  ASSERT_EQ(modem.rx().size(), 1u) << "nothing but the test's request goes out on connecting";
  EXPECT_EQ(modem.rx()[0], sent);
}

TEST_F(Roads, AbstractSocketIsUsedWhenTheProxyIsListedWhateverThePath) {
  process::Simulator proxy({"--abstract"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  ASSERT_EQ(tessel::ctx_connect("/dev/null"), 0);

  std::vector<Rec> records = connect_records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].format, "[tessel] fread buff:%s");
  EXPECT_NE(records[0].text.find("mbim-proxy"), std::string::npos) << records[0].text;
  records.erase(records.begin());
  const std::vector<Rec> expected = {
      {kNormal, "[tessel] use mbim-proxy\n\n", "[tessel] use mbim-proxy\n\n"},
      {kNormal, "[tessel] connet sunccess ('%s')", "[tessel] connet sunccess ('mbim-proxy')"},
  };
  EXPECT_EQ(records, expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kAbstractSocket);
  const std::vector<uint8_t> sent = expect_exchange_answered();
  ASSERT_EQ(proxy.rx().size(), 1u) << "the transport sends nothing of its own on connecting";
  EXPECT_EQ(proxy.rx()[0], sent);
}

TEST_F(Roads, ListedProxyThatRefusesFallsBackToTheDeviceNode) {
  process::Simulator modem({"--pty"});
  ASSERT_TRUE(modem.ready()) << modem.notes();
  ProxyNameOnly listed;
  ASSERT_TRUE(listed.ok());

  ASSERT_EQ(tessel::ctx_connect(modem.path().c_str()), 0);

  std::vector<Rec> records = connect_records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].format, "[tessel] fread buff:%s");
  EXPECT_NE(records[0].text.find("mbim-proxy"), std::string::npos) << records[0].text;
  records.erase(records.begin());
  const std::vector<Rec> expected = {
      {kNormal, "[tessel] use mbim-proxy\n\n", "[tessel] use mbim-proxy\n\n"},
      {kNormal, "[tessel] Fail to connect '%s', errno (%s)",
       "[tessel] Fail to connect 'mbim-proxy', errno (" + std::string(std::strerror(ECONNREFUSED)) + ")"},
      {kError, "[tessel] Error number:%d", "[tessel] Error number:" + std::to_string(ECONNREFUSED)},
      {kNormal, "[tessel] use %s directly", "[tessel] use " + modem.path() + " directly"},
  };
  EXPECT_EQ(records, expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kDeviceNode);
  expect_exchange_answered();
}

TEST_F(Roads, MissingPathFailsAtTheExistenceCheckEvenWhileTheProxyRuns) {
  process::Simulator proxy({"--abstract"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  const char* missing = "/dev/tessel-no-such-modem";

  EXPECT_EQ(tessel::ctx_connect(missing), -19);

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

  ASSERT_EQ(tessel::ctx_connect(kSocketFile), 0);

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] addr.sun_path:%s", "[tessel] addr.sun_path:/var/volatile/mbim-proxy"},
      {kNormal, "[tessel] connet %s", "[tessel] connet /var/volatile/mbim-proxy"},
  };
  EXPECT_EQ(connect_records(), expected) << "no process-list check on this road";
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  const std::vector<uint8_t> sent = expect_exchange_answered();
  ASSERT_EQ(proxy.rx().size(), 1u) << "the transport sends nothing of its own on connecting";
  EXPECT_EQ(proxy.rx()[0], sent);
}

TEST_F(Roads, LongerPathStillConnectsToTheFixedSocketFile) {
  process::Simulator proxy({"--socket", kSocketFile});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  std::ofstream(kLongerSocketPath).put('x');  // the path must exist

  ASSERT_EQ(tessel::ctx_connect(kLongerSocketPath), 0);

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] addr.sun_path:%s", "[tessel] addr.sun_path:/var/volatile/mbim-proxy"},
      {kNormal, "[tessel] connet %s", "[tessel] connet /var/volatile/mbim-proxy"},
  };
  EXPECT_EQ(connect_records(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  const std::vector<uint8_t> sent = expect_exchange_answered();
  ASSERT_EQ(proxy.rx().size(), 1u);
  EXPECT_EQ(proxy.rx()[0], sent) << "the request reached the socket file's listener";
}

// Even with a proxy listed and listening on its abstract socket, a refused
// socket file is the end of the road: no other road is tried.
TEST_F(Roads, SocketFileNobodyListensOnFailsWithoutFallback) {
  process::Simulator proxy({"--abstract"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  ASSERT_TRUE(leave_stale_socket(kSocketFile));

  EXPECT_EQ(tessel::ctx_connect(kSocketFile), -19);

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] addr.sun_path:%s", "[tessel] addr.sun_path:/var/volatile/mbim-proxy"},
      {kNormal, "[tessel] Fail to connect '%s', errno (%s)",
       "[tessel] Fail to connect '/var/volatile/mbim-proxy', errno (" +
           std::string(std::strerror(ECONNREFUSED)) + ")"},
      {kError, "[tessel] Error number:%d", "[tessel] Error number:" + std::to_string(ECONNREFUSED)},
      {kError, "[tessel] return error mbim_fd = %d", "[tessel] return error mbim_fd = -1"},
  };
  EXPECT_EQ(connect_records(), expected);
  EXPECT_EQ(tessel::ctx_road(), Road::kNone);
  EXPECT_TRUE(proxy.rx().empty());
  EXPECT_EQ(tessel::send_request(nullptr, nullptr), -19);
}

TEST_F(Roads, LongerPathWithoutTheSocketFileFailsWithoutFallback) {
  std::ofstream(kLongerSocketPath).put('x');

  EXPECT_EQ(tessel::ctx_connect(kLongerSocketPath), -19);

  const std::vector<Rec> expected = {
      {kNormal, "[tessel] addr.sun_path:%s", "[tessel] addr.sun_path:/var/volatile/mbim-proxy"},
      {kNormal, "[tessel] Fail to connect '%s', errno (%s)",
       "[tessel] Fail to connect '/var/volatile/mbim-proxy', errno (" +
           std::string(std::strerror(ENOENT)) + ")"},
      {kError, "[tessel] Error number:%d", "[tessel] Error number:" + std::to_string(ENOENT)},
      {kError, "[tessel] return error mbim_fd = %d", "[tessel] return error mbim_fd = -1"},
  };
  EXPECT_EQ(connect_records(), expected) << "the longer path itself is never opened";
  EXPECT_EQ(tessel::ctx_road(), Road::kNone);
}

TEST_F(Roads, DeinitThenInitAndConnectAgainTakesTheRoadAfresh) {
  process::Simulator proxy({"--socket", kSocketFile});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();
  process::Simulator modem({"--pty"});
  ASSERT_TRUE(modem.ready()) << modem.notes();

  ASSERT_EQ(tessel::ctx_connect(kSocketFile), 0);
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  expect_exchange_answered();
  tessel::ctx_deinit();

  ASSERT_EQ(tessel::ctx_init(/*verbose=*/0), 0);
  ASSERT_EQ(tessel::ctx_connect(modem.path().c_str()), 0);
  EXPECT_EQ(tessel::ctx_road(), Road::kDeviceNode);
  expect_exchange_answered();
  tessel::ctx_deinit();

  ASSERT_EQ(tessel::ctx_init(/*verbose=*/0), 0);
  ASSERT_EQ(tessel::ctx_connect(kSocketFile), 0) << "the socket file takes a new client";
  EXPECT_EQ(tessel::ctx_road(), Road::kSocketFile);
  expect_exchange_answered();
  EXPECT_EQ(proxy.rx().size(), 2u);
  EXPECT_EQ(modem.rx().size(), 1u);
}

}  // namespace

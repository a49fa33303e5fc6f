// The built tool through the real libmbim proxy daemon (Debian package
// libmbim-proxy, /usr/libexec/mbim-proxy) in front of the modem simulator's
// pty, as on the target:
//   tool --(abstract socket "mbim-proxy")--> mbim-proxy --(pty)--> modem
// The tool finds the daemon in the process list, connects to its abstract
// socket and names the device with MBIM_CID_PROXY_CONTROL_CONFIGURATION; the
// daemon then opens the pty (MBIM_OPEN first, and on later clients a device
// caps query, both answered by the simulator) and forwards the tool's
// requests. Without that configuration the daemon forwards nothing.
//
// Skips where the package is missing (scripts/install-deps installs it as
// root) or the private namespaces are unavailable.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e_wire.h"
#include "isolation.h"
#include "process.h"

namespace {

using e2e::Bytes;
using Clock = std::chrono::steady_clock;

constexpr char kProxyBin[] = "/usr/libexec/mbim-proxy";
constexpr char kCsqReply[] = "\\r\\n+CSQ: 20,99\\r\\n\\r\\nOK\\r\\n";
constexpr char kCsqStdout[] = "Send > AT+CSQ\nRecv < \r\n+CSQ: 20,99\r\n\r\nOK\r\n\nUnInit\n";
// The whole flow takes well under a second through the daemon; this limit
// only ends a hang, far below the tool's 30 s waits.
constexpr int kToolLimitMs = 10000;

std::string read_file(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// True once something listens on the abstract socket "mbim-proxy" of this
// network namespace. Read from /proc rather than by connecting, which would
// make the daemon count a client.
bool abstract_socket_listening() {
  std::ifstream in("/proc/net/unix");
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() >= 12 && line.compare(line.size() - 12, 12, " @mbim-proxy") == 0) return true;
  }
  return false;
}

// /usr/libexec/mbim-proxy as a child: kept running without clients
// (--no-exit), its verbose log in a file; stopped with SIGTERM when the
// object goes.
class ProxyDaemon {
 public:
  ProxyDaemon() {
    char log[] = "/tmp/tessel-mbim-proxy-log-XXXXXX";
    const int fd = mkstemp(log);
    if (fd < 0) return;
    log_ = log;
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      dup2(fd, 1);
      dup2(fd, 2);
      close(fd);
      const int null = open("/dev/null", O_RDONLY);
      if (null >= 0) dup2(null, 0);
      execl(kProxyBin, kProxyBin, "--no-exit", "--verbose", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fd);
    const auto until = Clock::now() + std::chrono::seconds(3);
    while (Clock::now() < until && !listening_) {
      listening_ = abstract_socket_listening();
      if (!listening_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~ProxyDaemon() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      bool gone = false;
      for (int i = 0; i < 100 && !gone; ++i) {
        gone = waitpid(pid_, nullptr, WNOHANG) == pid_;
        if (!gone) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      if (!gone) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    if (!log_.empty()) unlink(log_.c_str());
  }
  ProxyDaemon(const ProxyDaemon&) = delete;
  ProxyDaemon& operator=(const ProxyDaemon&) = delete;

  bool listening() const { return listening_; }
  std::string log() const { return read_file(log_); }

 private:
  pid_t pid_ = -1;
  bool listening_ = false;
  std::string log_;
};

class LibmbimProxy : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!process::isolated()) GTEST_SKIP() << process::kNotIsolated;
    if (access(kProxyBin, X_OK) != 0) {
      GTEST_SKIP() << kProxyBin << " is missing: install Debian's libmbim-proxy "
                   << "(scripts/install-deps does it as root)";
    }
  }

  // Starts the modem on a pty with `sim_args`, then the daemon in front of it.
  void start(const std::vector<std::string>& sim_args) {
    std::vector<std::string> args = {"--pty"};
    args.insert(args.end(), sim_args.begin(), sim_args.end());
    modem_ = std::make_unique<process::Simulator>(args);
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
    proxy_ = std::make_unique<ProxyDaemon>();
    ASSERT_TRUE(proxy_->listening()) << "mbim-proxy did not listen within 3 s\n" << proxy_->log();
  }

  // The tool's --command `args`, given kToolLimitMs.
  process::Result run_tool(std::vector<std::string> args) {
    args.insert(args.begin(), "--command");
    process::Options options;
    options.timeout_ms = kToolLimitMs;
    return process::run_tool(args, options);
  }

  // What the three parties said, for a failure message.
  std::string diagnosis(const process::Result& r) const {
    return "--- tool stderr\n" + r.err + "--- simulator\n" + modem_->notes() +
           "--- mbim-proxy\n" + proxy_->log();
  }

  void expect_debug_tool_answered() {
    const process::Result r = run_tool({"debug_tool", "-d", modem_->path(), "-a", "AT+CSQ"});
    EXPECT_FALSE(r.timed_out) << "the tool hung\n" << diagnosis(r);
    EXPECT_EQ(r.status, 0) << diagnosis(r);
    EXPECT_EQ(r.out, kCsqStdout) << diagnosis(r);
    EXPECT_TRUE(e2e::logged(r.err, 'I', "src/mbim_ctx", "[tessel] connet sunccess ('mbim-proxy')"))
        << diagnosis(r);
  }

  void expect_table_stored(const Bytes& table, const process::TempFile& stored) {
    process::TempFile table_file(table);
    const process::Result r = run_tool({"sar_tool", "-d", modem_->path(), "-f", table_file.path()});
    EXPECT_FALSE(r.timed_out) << "the tool hung\n" << diagnosis(r);
    EXPECT_EQ(r.status, 0) << diagnosis(r);
    EXPECT_EQ(r.out, "UnInit\n") << diagnosis(r);
    EXPECT_EQ(e2e::error_lines(r.err), "") << diagnosis(r);
    EXPECT_TRUE(e2e::logged(r.err, 'I', "src/mbim_ctx", "[tessel] connet sunccess ('mbim-proxy')"))
        << diagnosis(r);
    EXPECT_EQ(stored.read(), table) << diagnosis(r);
  }

  std::unique_ptr<process::Simulator> modem_;
  std::unique_ptr<ProxyDaemon> proxy_;
};

// The modem starts with its MBIM function closed, as one just plugged in:
// the daemon's own MBIM_OPEN_MSG opens it, and the tool sends none.
TEST_F(LibmbimProxy, DebugToolGetsTheAtReplyThroughTheDaemon) {
  start({"--closed", "--at-reply", kCsqReply});

  expect_debug_tool_answered();

  const std::vector<Bytes> rx = modem_->rx();
  ASSERT_EQ(rx.size(), 2u) << proxy_->log();
  EXPECT_EQ(e2e::message_type(rx[0]), e2e::kOpenMsg) << "the daemon opened the named device";
  EXPECT_EQ(e2e::service(rx[1]), e2e::kAtTunnel);
  EXPECT_EQ(e2e::at_text(rx[1]), "AT+CSQ");
}

TEST_F(LibmbimProxy, SarToolStoresTheWholeTableThroughTheDaemon) {
  process::TempFile stored;
  start({"--table-out", stored.path()});

  expect_table_stored(e2e::table_bytes(5000), stored);

  const std::vector<Bytes> rx = modem_->rx();
  ASSERT_FALSE(rx.empty());
  EXPECT_EQ(e2e::message_type(rx[0]), e2e::kOpenMsg);
  for (size_t i = 0; i < rx.size(); ++i) {
    EXPECT_FALSE(e2e::is_proxy_control(rx[i])) << "the daemon keeps its configuration to itself";
  }
}

// The daemon keeps the device open between clients and checks it with a
// device caps query when the next client names it again.
TEST_F(LibmbimProxy, RunsOneAfterAnotherShareTheDaemon) {
  process::TempFile stored;
  start({"--at-reply", kCsqReply, "--table-out", stored.path()});

  expect_debug_tool_answered();
  if (HasFailure()) return;  // a hung run would only hang again
  expect_table_stored(e2e::table_bytes(3000), stored);
  if (HasFailure()) return;
  expect_debug_tool_answered();
}

}  // namespace

// The built tool, run as an operator would, against the modem simulator
// playing the proxy on each of its two sockets:
//   abstract socket "mbim-proxy" — the tool first names its device to the
//     proxy (MBIM_CID_PROXY_CONTROL_CONFIGURATION), then runs its flow; a
//     Status refusing that is logged and the flow goes on, a lost channel
//     stops it;
//   socket file /var/volatile/mbim-proxy — nothing is sent before the flow's
//     first command.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e_wire.h"
#include "isolation.h"
#include "process.h"
#include "mbim_format/protocol_log.h"

namespace {

using e2e::Bytes;

constexpr char kSocketFile[] = "/var/volatile/mbim-proxy";
constexpr char kAnyDevice[] = "/dev/null";  // any existing path takes the abstract road
constexpr char kCsqReply[] = "\\r\\n+CSQ: 20,99\\r\\n\\r\\nOK\\r\\n";
constexpr char kCsqStdout[] = "Send > AT+CSQ\nRecv < \r\n+CSQ: 20,99\r\n\r\nOK\r\n\nUnInit\n";
constexpr int kToolLimitMs = 10000;  // far below the tool's 30 s waits

// The tool's --command `args`, given kToolLimitMs.
process::Result run_tool(std::vector<std::string> args) {
  args.insert(args.begin(), "--command");
  process::Options options;
  options.timeout_ms = kToolLimitMs;
  return process::run_tool(args, options);
}

class ProxyRoads : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!process::isolated()) GTEST_SKIP() << process::kNotIsolated;
    isolated_ = true;
    unlink(kSocketFile);
  }
  void TearDown() override {
    if (isolated_) unlink(kSocketFile);  // this namespace's own tmpfs only
  }

  // Expects the run to have ended by itself with status 0.
  static void expect_clean_exit(const process::Result& r) {
    EXPECT_FALSE(r.timed_out) << "the tool hung\n" << r.err;
    EXPECT_EQ(r.status, 0) << r.err;
  }

  // Runs sar_tool on `device` for a 5000-byte table, the simulator serving
  // with `serve`; expects the run to end cleanly with the whole table
  // stored, and gives the requests the simulator received.
  static std::vector<Bytes> store_table(std::vector<std::string> serve, const std::string& device) {
    const Bytes table = e2e::table_bytes(5000);
    process::TempFile table_file(table);
    process::TempFile stored;
    serve.insert(serve.end(), {"--table-out", stored.path()});
    process::Simulator proxy(serve);
    EXPECT_TRUE(proxy.ready()) << proxy.notes();
    if (!proxy.ready()) return {};

    const process::Result r = run_tool({"sar_tool", "-d", device, "-f", table_file.path()});

    expect_clean_exit(r);
    EXPECT_EQ(r.out, "UnInit\n");
    EXPECT_EQ(e2e::error_lines(r.err), "");
    EXPECT_EQ(stored.read(), table);
    return proxy.rx();
  }

 private:
  bool isolated_ = false;
};

TEST_F(ProxyRoads, AbstractSocketDebugToolNamesTheDeviceThenSendsTheAtCommand) {
  process::Simulator proxy({"--abstract", "--at-reply", kCsqReply});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  const process::Result r = run_tool({"debug_tool", "-d", kAnyDevice, "-a", "AT+CSQ"});

  expect_clean_exit(r);
  EXPECT_EQ(r.out, kCsqStdout);
  EXPECT_TRUE(e2e::logged(r.err, 'I', "src/mbim_ctx", "[tessel] connet sunccess ('mbim-proxy')"));
  const std::vector<Bytes> rx = proxy.rx();
  ASSERT_EQ(rx.size(), 2u);
  EXPECT_EQ(rx[0], e2e::proxy_configuration(kAnyDevice, e2e::transaction_id(rx[0])));
  EXPECT_EQ(e2e::service(rx[1]), e2e::kAtTunnel);
  EXPECT_EQ(e2e::at_text(rx[1]), "AT+CSQ");
  EXPECT_NE(e2e::transaction_id(rx[1]), e2e::transaction_id(rx[0]));
}

TEST_F(ProxyRoads, AbstractSocketSarToolNamesTheDeviceOnceThenStoresTheWholeTable) {
  const std::vector<Bytes> rx = store_table({"--abstract"}, kAnyDevice);
  ASSERT_GE(rx.size(), 2u);
  EXPECT_EQ(rx[0], e2e::proxy_configuration(kAnyDevice, e2e::transaction_id(rx[0])));
  EXPECT_EQ(e2e::service(rx[1]), e2e::kQmbe);
  EXPECT_EQ(e2e::cid(rx[1]), 22u) << "the flow begins with the stored table's digest";
  for (size_t i = 1; i < rx.size(); ++i) {
    EXPECT_FALSE(e2e::is_proxy_control(rx[i])) << "request " << i << " configures the proxy again";
  }
}

// A proxy that does not know the configuration command answers it with a
// Status; it still forwards, so the flow goes on after logging that Status.
TEST_F(ProxyRoads, AbstractSocketConfigurationRefusedWithAStatusStillRunsTheFlow) {
  // CID 1 of every service: only the configuration uses CID 1 in this flow.
  process::Simulator proxy({"--abstract", "--status", "1:9", "--at-reply", kCsqReply});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  const process::Result r = run_tool({"debug_tool", "-d", kAnyDevice, "-a", "AT+CSQ"});

  expect_clean_exit(r);
  EXPECT_EQ(r.out, kCsqStdout);
  EXPECT_TRUE(e2e::logged(r.err, 'I', tessel::kProtocolLogFile, "[tessel] err=0, Status=9")) << r.err;
  EXPECT_EQ(e2e::error_lines(r.err), "");
  const std::vector<Bytes> rx = proxy.rx();
  ASSERT_EQ(rx.size(), 2u);
  EXPECT_TRUE(e2e::is_proxy_control(rx[0]));
  EXPECT_EQ(e2e::at_text(rx[1]), "AT+CSQ");
}

TEST_F(ProxyRoads, AbstractSocketChannelLostDuringConfigurationStopsBeforeTheFlow) {
  process::Simulator proxy({"--abstract", "--hangup-at", "1"});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  const process::Result r = run_tool({"debug_tool", "-d", kAnyDevice, "-a", "AT+CSQ"});

  expect_clean_exit(r);
  EXPECT_EQ(r.out, "UnInit\n") << "no AT command is sent";
  EXPECT_TRUE(e2e::logged(r.err, 'E', "src/main", "[tessel] GetIsMbimReady err=-1")) << r.err;
  const std::vector<Bytes> rx = proxy.rx();
  ASSERT_EQ(rx.size(), 1u);
  EXPECT_TRUE(e2e::is_proxy_control(rx[0]));
}

// Anyone may bind the abstract name and call the process mbim-proxy; only
// a proxy run by root or by the tool's own user is trusted with the AT
// command (it may carry a SIM PIN). Anyone else's is left, the node is used.
TEST_F(ProxyRoads, AbstractSocketOfAnotherUserIsNotUsed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the impostor as another user";
  constexpr uid_t kNobody = 65534;
  process::Simulator impostor({"--abstract"}, kNobody);
  ASSERT_TRUE(impostor.ready()) << impostor.notes();

  const process::Result r = run_tool({"debug_tool", "-d", kAnyDevice, "-a", "AT+CPIN=1234"});

  expect_clean_exit(r);
  EXPECT_TRUE(impostor.rx().empty()) << "the AT command reached the impostor";
  EXPECT_NE(r.err.find("neither root nor this user; not using it"), std::string::npos) << r.err;
  EXPECT_TRUE(e2e::logged(r.err, 'I', "src/mbim_ctx", "[tessel] use /dev/null directly")) << r.err;
}

TEST_F(ProxyRoads, SocketFileDebugToolSendsTheAtCommandFirst) {
  process::Simulator proxy({"--socket", kSocketFile, "--at-reply", kCsqReply});
  ASSERT_TRUE(proxy.ready()) << proxy.notes();

  const process::Result r = run_tool({"debug_tool", "-d", kSocketFile, "-a", "AT+CSQ"});

  expect_clean_exit(r);
  EXPECT_EQ(r.out, kCsqStdout);
  EXPECT_TRUE(e2e::logged(r.err, 'I', "src/mbim_ctx", "[tessel] connet /var/volatile/mbim-proxy"));
  const std::vector<Bytes> rx = proxy.rx();
  ASSERT_EQ(rx.size(), 1u) << "nothing goes before the AT command on this road";
  EXPECT_EQ(e2e::service(rx[0]), e2e::kAtTunnel);
  EXPECT_EQ(e2e::at_text(rx[0]), "AT+CSQ");
}

TEST_F(ProxyRoads, SocketFileSarToolStoresTheWholeTableWithoutConfiguring) {
  const std::vector<Bytes> rx = store_table({"--socket", kSocketFile}, kSocketFile);
  ASSERT_FALSE(rx.empty());
  EXPECT_EQ(e2e::service(rx[0]), e2e::kQmbe);
  EXPECT_EQ(e2e::cid(rx[0]), 22u) << "the flow's first command comes first";
  for (size_t i = 0; i < rx.size(); ++i) {
    EXPECT_FALSE(e2e::is_proxy_control(rx[i])) << "request " << i;
  }
}

// The proxy opens the device itself, and an MBIM_OPEN_MSG from a client
// would reach only the client's own session: through either socket a
// modem that refuses a command because its function is closed has given
// that command's answer, and the tool opens nothing.
TEST_F(ProxyRoads, AClosedFunctionIsNeverOpenedThroughTheProxy) {
  struct Case {
    const char* what;
    std::vector<std::string> serve;
    const char* device;
  };
  const Case cases[] = {
      {"abstract socket", {"--abstract"}, kAnyDevice},
      {"socket file", {"--socket", kSocketFile}, kSocketFile},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unlink(kSocketFile);
    std::vector<std::string> serve = c.serve;
    serve.push_back("--closed");
    process::Simulator proxy(serve);
    ASSERT_TRUE(proxy.ready()) << proxy.notes();

    const process::Result r = run_tool({"debug_tool", "-d", c.device, "-a", "ATI", "--strict"});

    EXPECT_FALSE(r.timed_out) << "the tool hung\n" << r.err;
    EXPECT_EQ(r.status, 11) << r.err;  // the command was refused
    EXPECT_TRUE(e2e::logged(r.err, 'I', tessel::kProtocolLogFile, "[tessel] err=0, Status=5")) << r.err;
    EXPECT_EQ(r.err.find("opening it"), std::string::npos) << r.err;
    const std::vector<Bytes> rx = proxy.rx();
    size_t at_commands = 0;
    for (const Bytes& m : rx) {
      EXPECT_NE(e2e::message_type(m), e2e::kOpenMsg);
      at_commands += e2e::service(m) == e2e::kAtTunnel;
    }
    EXPECT_EQ(at_commands, 1u) << "the refused command is not sent again";
  }
}

}  // namespace

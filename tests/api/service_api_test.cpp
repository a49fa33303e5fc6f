// The service API: Init's checks and verbose flag, the folded results and
// their records, GetFileMd5. Commands run over a socketpair whose far end the
// test answers, so no modem or process list is involved.
#include "api/service_api.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string>
#include <thread>

#include "capture_log.h"
#include "mbim_answer.h"
#include "transport/context.h"
#include "transport/transport.h"
#include "byte_order/byte_order.h"

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

class ServiceApi : public ::testing::Test {
 protected:
  void SetUp() override {
    capture_log::clear();
    capture_log::set_init_result(true);
    unsetenv("VERBOSE");
  }
  void TearDown() override {
    CaptureStdout();
    tessel::UnInit();
    GetCapturedStdout();
    if (modem_ != -1) close(modem_);
    unsetenv("VERBOSE");
  }

  // Init, then a socketpair as the channel; the test holds the modem's end.
  void connect() {
    ASSERT_EQ(tessel::Init("/dev/null"), 0);
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    ASSERT_TRUE(tessel::ctx_adopt_channel(sv[0], true).ok());
    modem_ = sv[1];
  }

  // Answers the next request with a COMMAND_DONE of `status` and `info`.
  std::thread answer(uint32_t status, std::vector<uint8_t> info) {
    return std::thread([this, status, info] {
      uint8_t req[4096];
      pollfd p = {modem_, POLLIN, 0};
      if (poll(&p, 1, 2000) <= 0) return;
      if (read(modem_, req, sizeof req) < 12) return;
      const std::vector<uint8_t> m = mbim_answer::answer_to(req, status, info);
      ASSERT_EQ(write(modem_, m.data(), m.size()), static_cast<ssize_t>(m.size()));
    });
  }

  int modem_ = -1;
};

// --debug (Init's `debug`) makes the run verbose whatever VERBOSE says;
// without it the first character of VERBOSE decides.
TEST_F(ServiceApi, VerboseFollowsDebugOrTheFirstCharacterOfVerbose) {
  struct Case {
    const char* value;
    bool debug;
    int verbose;
  };
  for (const Case& c : {Case{nullptr, false, 0}, Case{"0", false, 0}, Case{"0yes", false, 0},
                        Case{"1", false, 1}, Case{"x", false, 1}, Case{"", false, 1},
                        Case{nullptr, true, 1}, Case{"0", true, 1}}) {
    if (c.value == nullptr) {
      unsetenv("VERBOSE");
    } else {
      setenv("VERBOSE", c.value, 1);
    }
    ASSERT_EQ(tessel::Init("/dev/null", c.debug), 0);
    EXPECT_EQ(tessel::transport_context().verbose, c.verbose)
        << (c.value ? c.value : "unset") << (c.debug ? " with --debug" : "");
    CaptureStdout();
    tessel::UnInit();
    EXPECT_EQ(GetCapturedStdout(), "UnInit\n");
  }
}

TEST_F(ServiceApi, InitRefusesMissingAndOverlongDevicePaths) {
  EXPECT_EQ(tessel::Init(nullptr), -1);
  const std::string longest(31, 'd');
  const std::string too_long(32, 'd');
  EXPECT_EQ(tessel::Init(too_long.c_str()), -1);
  EXPECT_EQ(tessel::transport_context().stop_read, -1);  // nothing was set up
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[1].level, 8u);
  EXPECT_EQ(r[1].text, "[tessel] Init: device path longer than 31 characters");
  EXPECT_EQ(tessel::Init(longest.c_str()), 0);
}

TEST_F(ServiceApi, ALogChannelThatWillNotOpenIsReportedAndIgnored) {
  capture_log::set_init_result(false);
  CaptureStdout();
  EXPECT_EQ(tessel::Init("/dev/null"), 0);
  EXPECT_EQ(GetCapturedStdout(), "Couldn't initialize Diag!");
}

TEST_F(ServiceApi, AFailedConnectLeavesTheReadyFlagAlone) {
  ASSERT_EQ(tessel::Init("/nonexistent/wdm9"), 0);
  int ready = 0;
  EXPECT_EQ(tessel::GetIsMbimReady(&ready), -1);
  EXPECT_EQ(ready, 0);
}

TEST_F(ServiceApi, GetSarEnableStoresOneForAnyNonZeroValue) {
  connect();
  auto modem = answer(0, {5, 0, 0, 0});
  int enable = -7;
  EXPECT_EQ(tessel::GetSarEnable(&enable), 0);
  modem.join();
  EXPECT_EQ(enable, 1);
  auto r = capture_log::with_format("[tessel] err=%d, bEnable=%d");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].file, "src/api");
  EXPECT_EQ(r[0].values, (std::vector<uint32_t>{0, 1}));
}

TEST_F(ServiceApi, FailuresFoldToMinusOneButTheRecordKeepsTheCommandsResult) {
  connect();
  auto modem = answer(2, {});
  EXPECT_EQ(tessel::SetSarEnable(1), -1);
  modem.join();
  auto r = capture_log::with_format("[tessel] err=%d, bEnable=%d");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].values, (std::vector<uint32_t>{2, 1}));
  EXPECT_EQ(r[0].level, 2u);
  EXPECT_EQ(r[0].call, capture_log::Call::kSend2);
}

TEST_F(ServiceApi, ApplyWithoutAChannelFailsWithItsRecord) {
  ASSERT_EQ(tessel::Init("/dev/null"), 0);
  EXPECT_EQ(tessel::ApplySarValue(48001), -1);
  auto r = capture_log::with_format("[tessel] err=%d");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].values, std::vector<uint32_t>{static_cast<uint32_t>(-19)});
}

std::string hex(const std::array<uint8_t, 16>& d) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (uint8_t b : d) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

TEST(FileMd5, DigestsWholeFilesOfAnySize) {
  char name[] = "/tmp/tessel-md5-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  std::array<uint8_t, 16> d{};
  ASSERT_EQ(tessel::GetFileMd5(name, d.data()), 0);
  EXPECT_EQ(hex(d), "d41d8cd98f00b204e9800998ecf8427e");  // empty input
  // More than one read's worth: 40000 bytes of 'a'.
  const std::string a(40000, 'a');
  ASSERT_EQ(write(fd, a.data(), a.size()), static_cast<ssize_t>(a.size()));
  close(fd);
  ASSERT_EQ(tessel::GetFileMd5(name, d.data()), 0);
  // md5sum of 40000 'a's.
  EXPECT_EQ(hex(d), "15725c9aaac02fda4d458ad5416f6992");
  unlink(name);
}

TEST(FileMd5, AMissingFileFailsQuietlyAndLeavesTheDigest) {
  capture_log::clear();
  std::array<uint8_t, 16> d{};
  d[0] = 0x42;
  EXPECT_EQ(tessel::GetFileMd5("/nonexistent/sar.bin", d.data()), -1);
  EXPECT_EQ(tessel::GetFileMd5(nullptr, d.data()), -1);
  EXPECT_EQ(d[0], 0x42);
  EXPECT_TRUE(capture_log::records().empty());  // its caller logs the failure
}

}  // namespace

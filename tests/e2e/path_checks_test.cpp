// The paths sar_tool checks before it starts (table readable, device
// readable and writable), a device that passes the check but cannot be
// opened, and the longest device path the tool keeps. Permission cases run
// the tool as the user nobody, since root reads and writes any file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr uid_t kNobody = 65534;
const char kMissingDevice[] = "/nonexistent/tessel-e2e-device";
const char kMissingTable[] = "/nonexistent/tessel-e2e-table";

TEST(TableCheck, MissingTableGivesPerrorLineAnd255BeforeTheDeviceIsLookedAt) {
  const Outcome run = tessel({"--command", "sar_tool", "-d", kMissingDevice, "-f", kMissingTable});
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(run.result.err, std::string(kMissingTable) + ": No such file or directory\n");
  EXPECT_EQ(run.result.status, 255);
}

TEST(TableCheck, NoTableGivenGivesPerrorLineWithoutPrefixAnd255) {
  const Outcome run = tessel({"--command", "sar_tool", "-d", "/dev/null"});
  EXPECT_EQ(run.result.out, "");
  ASSERT_FALSE(run.result.err.empty());
  EXPECT_EQ(run.result.err.find('\n'), run.result.err.size() - 1) << run.result.err;
  EXPECT_EQ(run.result.err.find(": "), std::string::npos) << run.result.err;
  EXPECT_EQ(run.result.status, 255);
}

TEST(DeviceCheck, MissingDeviceGivesFialToAccessWithErrno2AndStatus1) {
  process::TempFile table({'a', 'b', 'c'});
  const Outcome run = tessel({"--command", "sar_tool", "-d", kMissingDevice, "-f", table.path()});
  EXPECT_EQ(run.result.out, std::string("fial to access ") + kMissingDevice +
                                ", errno: 2 (No such file or directory)\n");
  EXPECT_EQ(run.result.err, "");
  EXPECT_EQ(run.result.status, 1);
}

// A directory passes the access check but cannot be opened as a device: the
// open's system error line goes to standard error and the run still ends
// with UnInit and status 0.
class DeviceOpen : public ModemTest {};

TEST_F(DeviceOpen, DeviceThatCannotBeOpenedIsReportedAndTheRunEndsWithUnInit) {
  char dir[] = "/tmp/tessel-e2e-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  process::TempFile table({'a', 'b', 'c'});
  const Outcome run = tessel({"--command", "sar_tool", "-d", dir, "-f", table.path()});
  rmdir(dir);
  EXPECT_EQ(run.result.out, kUnInit);
  EXPECT_THAT(run.result.err, HasSubstr(std::string(dir) + ": Is a directory\n"));
  EXPECT_THAT(records(run.result.err), Contains("E src/main [tessel] GetIsMbimReady err=-1"));
  EXPECT_EQ(run.result.status, 0);
}

// Runs the tool as nobody; skipped where that is impossible.
class AsNobody : public ::testing::Test {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to run the tool as nobody";
    options_.uid = kNobody;
    const process::Result probe =
        process::run({TESSEL_BIN, "--command", "sar_tool", "--version"}, options_);
    if (probe.status != 0)
      GTEST_SKIP() << "nobody cannot run " << TESSEL_BIN << " (status " << probe.status << ")";
  }
  Outcome tessel_as_nobody(const std::vector<std::string>& args) { return tessel(args, options_); }

  process::Options options_;
};

TEST_F(AsNobody, UnreadableTableGivesPermissionDeniedPerrorAnd255) {
  process::TempFile table({'a', 'b', 'c'});  // 0600, owned by root
  ASSERT_EQ(chmod(table.path().c_str(), 0600), 0);
  const Outcome run =
      tessel_as_nobody({"--command", "sar_tool", "-d", kMissingDevice, "-f", table.path()});
  EXPECT_EQ(run.result.out, "");
  EXPECT_EQ(run.result.err, table.path() + ": Permission denied\n");
  EXPECT_EQ(run.result.status, 255);
}

TEST_F(AsNobody, ReadOnlyDeviceGivesFialToAccessWithErrno13AndStatus1) {
  process::TempFile table({'a', 'b', 'c'});
  process::TempFile device;
  ASSERT_EQ(chmod(table.path().c_str(), 0644), 0);
  ASSERT_EQ(chmod(device.path().c_str(), 0644), 0);  // nobody may read it, not write it
  const Outcome run =
      tessel_as_nobody({"--command", "sar_tool", "-d", device.path(), "-f", table.path()});
  EXPECT_EQ(run.result.out, "fial to access " + device.path() + ", errno: 13 (Permission denied)\n");
  EXPECT_EQ(run.result.err, "");
  EXPECT_EQ(run.result.status, 1);
}

// A symbolic link of an exact length to the simulator's pty, so the device
// path's length is chosen by the test and the path still reaches the modem.
class DevicePathLength : public ModemTest {
 protected:
  void SetUp() override {
    ModemTest::SetUp();
    if (IsSkipped()) return;
    ASSERT_NE(mkdtemp(dir_), nullptr);
    made_dir_ = true;
    modem_ = start_modem();
    ASSERT_TRUE(modem_->ready()) << modem_->notes();
  }
  void TearDown() override {
    if (!link_.empty()) unlink(link_.c_str());
    if (made_dir_) rmdir(dir_);
  }
  std::string link_of_length(size_t length) {
    link_ = std::string(dir_) + "/";
    link_ += std::string(length - link_.size(), 'p');
    EXPECT_EQ(symlink(modem_->path().c_str(), link_.c_str()), 0);
    return link_;
  }

  char dir_[32] = "/tmp/tessel-e2e-XXXXXX";  // 22 characters
  bool made_dir_ = false;
  std::string link_;
  std::unique_ptr<process::Simulator> modem_;
};

TEST_F(DevicePathLength, PathOf32CharactersIsRefusedByInitAndNothingIsSent) {
  const std::string device = link_of_length(32);
  process::TempFile table({'a', 'b', 'c'});
  const std::vector<std::vector<std::string>> cases = {
      {"--command", "debug_tool", "-d", device, "-a", "ATI"},
      {"--command", "sar_tool", "-d", device, "-f", table.path()},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[1]);
    const Outcome run = tessel(args);
    EXPECT_EQ(run.result.out, kUnInit);
    const auto log = records(run.result.err);
    EXPECT_THAT(log, Contains(AllOf(StartsWith("E src/api [tessel] "), HasSubstr("31"))));
    EXPECT_THAT(log, Contains("E src/main [tessel] Init err=-1"));
    EXPECT_EQ(run.result.status, 0);
  }
  EXPECT_TRUE(modem_->rx().empty());
}

TEST_F(DevicePathLength, PathOf31CharactersReachesTheModem) {
  const std::string device = link_of_length(31);
  const Outcome run = tessel({"--command", "debug_tool", "-d", device, "-a", "ATI"});
  EXPECT_EQ(run.result.out, "Send > ATI\nRecv < \r\nOK\r\n\nUnInit\n");
  EXPECT_EQ(run.result.status, 0);
  EXPECT_EQ(modem_->rx().size(), 1u);
}

}  // namespace
}  // namespace e2e

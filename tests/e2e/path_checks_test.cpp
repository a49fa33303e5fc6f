// The paths sar_tool checks before it starts when only permissions fail
// them (table readable, device readable and writable), a device that passes
// the check but cannot be opened, and the longest device path the tool
// keeps. Permission cases run the tool as the user nobody, since root reads
// and writes any file. Missing paths are among the command-line cases.
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

constexpr uid_t kNobody = 65534;
const char kMissingDevice[] = "/nonexistent/tessel-e2e-device";

class DevicePath : public ModemTest {};

// A directory passes the access check but cannot be opened as a device: the
// open's system error line goes to standard error and the run still ends
// with UnInit and status 0.
TEST_F(DevicePath, ThatCannotBeOpenedIsReportedAndTheRunEndsWithUnInit) {
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

// Symbolic links of exact lengths to the simulator's pty, so the device
// path's length is chosen by the test and the path still reaches the modem.
TEST_F(DevicePath, Of31CharactersReachesTheModemAnd32IsRefusedByInitSendingNothing) {
  const auto modem = start_modem();
  ASSERT_TRUE(modem->ready()) << modem->notes();
  char dir[] = "/tmp/tessel-e2e-XXXXXX";  // 22 characters
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string path31 = std::string(dir) + "/pppppppp";
  const std::string path32 = path31 + "p";
  ASSERT_EQ(path32.size(), 32u);
  ASSERT_EQ(symlink(modem->path().c_str(), path31.c_str()), 0);
  ASSERT_EQ(symlink(modem->path().c_str(), path32.c_str()), 0);
  process::TempFile table({'a', 'b', 'c'});
  const Outcome refused[] = {
      tessel({"--command", "debug_tool", "-d", path32, "-a", "ATI"}),
      tessel({"--command", "sar_tool", "-d", path32, "-f", table.path()}),
  };
  const size_t sent_when_refused = modem->rx().size();
  const Outcome reached = tessel({"--command", "debug_tool", "-d", path31, "-a", "ATI"});
  unlink(path31.c_str());
  unlink(path32.c_str());
  rmdir(dir);
  for (const Outcome& run : refused) {
    EXPECT_EQ(run.result.out, kUnInit);
    const auto log = records(run.result.err);
    EXPECT_THAT(log, Contains(AllOf(StartsWith("E src/api [tessel] "), HasSubstr("31"))));
    EXPECT_THAT(log, Contains("E src/main [tessel] Init err=-1"));
    EXPECT_EQ(run.result.status, 0);
  }
  EXPECT_EQ(sent_when_refused, 0u);
  EXPECT_EQ(reached.result.out, "Send > ATI\nRecv < \r\nOK\r\n\nUnInit\n");
  EXPECT_EQ(reached.result.status, 0);
  EXPECT_EQ(modem->rx().size(), 1u);
}

}  // namespace
}  // namespace e2e

// The state record's file: its text byte for byte, the atomic replacement,
// its removal when empty, and records that must not be trusted.
#include "api/device_state.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "capture_log.h"

namespace {

using tessel::DeviceState;
using tessel::PendingTable;

PendingTable table(int32_t item, uint8_t first, bool diag) {
  PendingTable t;
  t.item = item;
  for (size_t i = 0; i < t.digest.size(); ++i) t.digest[i] = static_cast<uint8_t>(first + i);
  t.diag_may_be_on = diag;
  return t;
}

class DeviceStateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    capture_log::clear();
    char dir[] = "/tmp/tessel-state-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    unlink((dir_ + "/char-4-64.state").c_str());
    unlink((dir_ + "/char-4-64.state.tmp").c_str());
    rmdir(dir_.c_str());
  }
  std::string path() const { return dir_ + "/char-4-64.state"; }
  std::string contents() const {
    std::ifstream in(path());
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  void put(const std::string& text) { std::ofstream(path()) << text; }
  int read(DeviceState* s) { return tessel::device_state_read(dir_.c_str(), "char-4-64", s); }

  std::string dir_;
};

TEST_F(DeviceStateFile, IsWrittenAsItsLinesAndReadBackTheSame) {
  DeviceState s;
  s.note(table(48001, 0xf0, true));
  s.note(table(7, 0x00, false));
  tessel::PendingTable unanswered = table(9, 0x10, false);
  unanswered.unanswered_applies = 2;
  s.note(unanswered);
  s.has_last_tid = true;
  s.last_tid = 4294967295u;
  ASSERT_EQ(tessel::device_state_write(dir_.c_str(), "char-4-64", s), 0);
  EXPECT_EQ(contents(),
            "tessel-state 1\n"
            "pending 48001 f0f1f2f3f4f5f6f7f8f9fafbfcfdfeff 1\n"
            "pending 7 000102030405060708090a0b0c0d0e0f 0\n"
            "pending 9 101112131415161718191a1b1c1d1e1f 0 2\n"
            "last-tid 4294967295\n");
  struct stat st;
  ASSERT_EQ(stat(path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_NE(access((path() + ".tmp").c_str(), F_OK), 0);  // renamed, not left behind

  DeviceState back;
  ASSERT_EQ(read(&back), 0);
  ASSERT_EQ(back.pending_count, 3u);
  ASSERT_NE(back.find(48001), nullptr);
  EXPECT_EQ(back.find(48001)->unanswered_applies, 0u);
  ASSERT_NE(back.find(9), nullptr);
  EXPECT_EQ(back.find(9)->unanswered_applies, 2u);
  EXPECT_EQ(back.find(48001)->digest, s.find(48001)->digest);
  EXPECT_TRUE(back.find(48001)->diag_may_be_on);
  EXPECT_FALSE(back.find(7)->diag_may_be_on);
  EXPECT_TRUE(back.has_last_tid);
  EXPECT_EQ(back.last_tid, 4294967295u);
  EXPECT_TRUE(capture_log::records().empty());
}

TEST_F(DeviceStateFile, AnEmptyStateRemovesTheRecordAndNoRecordIsNoError) {
  DeviceState s;
  s.note(table(48001, 1, false));
  ASSERT_EQ(tessel::device_state_write(dir_.c_str(), "char-4-64", s), 0);
  s.forget(48001);
  ASSERT_EQ(tessel::device_state_write(dir_.c_str(), "char-4-64", s), 0);
  EXPECT_NE(access(path().c_str(), F_OK), 0);
  DeviceState back;
  EXPECT_EQ(read(&back), 1);
  EXPECT_TRUE(back.empty());
  EXPECT_TRUE(capture_log::records().empty());
}

TEST_F(DeviceStateFile, ANoteReplacesItsItemsTableAndAFullRecordDropsTheOldest) {
  DeviceState s;
  for (int32_t item = 1; item <= static_cast<int32_t>(tessel::kMaxPendingTables); ++item)
    s.note(table(item, 0, false));
  s.note(table(3, 0x40, true));  // replaces item 3, nothing dropped
  EXPECT_EQ(s.pending_count, tessel::kMaxPendingTables);
  EXPECT_EQ(s.find(3)->digest[0], 0x40);
  s.note(table(100, 0, false));  // one too many: item 1, the oldest, goes
  EXPECT_EQ(s.pending_count, tessel::kMaxPendingTables);
  EXPECT_EQ(s.find(1), nullptr);
  EXPECT_NE(s.find(100), nullptr);
}

// Each is ignored with one record in the log, and nothing of it is taken.
TEST_F(DeviceStateFile, ARecordThatDoesNotParseIsIgnoredAndLogged) {
  const std::string digest = "000102030405060708090a0b0c0d0e0f";
  const char* const bad[] = {
      "",                                                   // empty
      "tessel-state 2\n",                                   // another format
      "tessel-state 1\nlast-tid 5",                         // cut short
      "tessel-state 1\nlast-tid 0\n",                       // an id never issued
      "tessel-state 1\nlast-tid 4294967296\n",              // over 32 bits
      "tessel-state 1\nlast-tid 5\nlast-tid 6\n",           // twice
      "tessel-state 1\nlast-tid 05\n",                      // a second spelling
      "tessel-state 1\npending 48001 0001 1\n",             // digest too short
      "tessel-state 1\npending 48001 000102030405060708090A0B0C0D0E0F 1\n",  // upper case
      "tessel-state 1\npending -1 000102030405060708090a0b0c0d0e0f 1\n",
      "tessel-state 1\npending 48001 000102030405060708090a0b0c0d0e0f 2\n",
      "tessel-state 1\npending 48001 000102030405060708090a0b0c0d0e0f 0 0\n",    // a count is 1 or more
      "tessel-state 1\npending 48001 000102030405060708090a0b0c0d0e0f 0 256\n",  // and at most 255
      "tessel-state 1\npending 48001 000102030405060708090a0b0c0d0e0f 0 \n",
      "tessel-state 1\npending 1 000102030405060708090a0b0c0d0e0f 0\n"
      "pending 1 000102030405060708090a0b0c0d0e0f 0\n",      // one item twice
      "tessel-state 1\nsomething else\n",
  };
  for (const char* text : bad) {
    capture_log::clear();
    put(text);
    DeviceState back;
    back.has_last_tid = true;
    EXPECT_EQ(read(&back), -1) << text;
    EXPECT_TRUE(back.empty()) << text;
    EXPECT_EQ(capture_log::with_format("[tessel] state record %s does not parse; ignored").size(), 1u)
        << text;
  }
}

TEST_F(DeviceStateFile, ARecordOfAnotherKindOrTooBigIsNotRead) {
  ASSERT_EQ(symlink("/etc/passwd", path().c_str()), 0);  // never followed
  DeviceState back;
  EXPECT_EQ(read(&back), -1);
  unlink(path().c_str());
  put("tessel-state 1\n" + std::string(2000, '\n'));
  EXPECT_EQ(read(&back), -1);
  unlink(path().c_str());
  ASSERT_EQ(mkfifo(path().c_str(), 0600), 0);  // must not block
  EXPECT_EQ(read(&back), -1);
  EXPECT_TRUE(back.empty());
  EXPECT_EQ(capture_log::records().size(), 3u);
}

TEST_F(DeviceStateFile, AnUnwritableDirectoryFailsWithARecordAndKeepsTheOldRecord) {
  DeviceState s;
  s.note(table(48001, 1, false));
  ASSERT_EQ(tessel::device_state_write(dir_.c_str(), "char-4-64", s), 0);
  const std::string before = contents();
  // A directory in the temporary file's place makes the open fail.
  ASSERT_EQ(mkdir((path() + ".tmp").c_str(), 0700), 0);
  s.note(table(48002, 2, true));
  EXPECT_EQ(tessel::device_state_write(dir_.c_str(), "char-4-64", s), -1);
  rmdir((path() + ".tmp").c_str());
  EXPECT_EQ(contents(), before);
  EXPECT_EQ(capture_log::records().size(), 1u);
}

}  // namespace

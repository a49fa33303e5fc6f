// sar_tool --save: a table written with -f comes back byte for byte, through
// each road, with BUSY answers in both directions; a modem that lies about
// the table, or a digest that does not match, leaves the backup file as it
// was; a new backup gets mode 0644, a replaced one keeps its mode, never a
// set-uid, set-gid or sticky bit nor a planted file's; a backup that cannot
// be written fails cleanly, before anything is sent when it can tell.
#include <dirent.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "e2e.h"
#include "isolation.h"

namespace e2e {
namespace {

constexpr char kSocketFile[] = "/var/volatile/mbim-proxy";

enum class Road { kPty, kAbstract, kSocketFile };

const char* road_name(Road r) {
  return r == Road::kPty ? "pty" : r == Road::kAbstract ? "abstract socket" : "socket file";
}

Bytes read_file(const std::string& path) {
  Bytes got;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) got.push_back(static_cast<unsigned char>(c));
    std::fclose(f);
  }
  return got;
}

// Files in `dir` whose name begins with `prefix`: a failed save must leave
// no temporary file behind.
int count_files(const std::string& dir, const std::string& prefix) {
  int n = 0;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d)) n += std::string(e->d_name).rfind(prefix, 0) == 0;
    closedir(d);
  }
  return n;
}

class Backup : public ModemTest {
 protected:
  void TearDown() override {
    if (process::isolated()) unlink(kSocketFile);  // this namespace's own tmpfs only
  }

  // A modem on `road` with `knobs`; its device path for the tool in *dev.
  std::unique_ptr<process::Simulator> modem(Road road, std::vector<std::string> knobs,
                                            std::string* dev) {
    if (road == Road::kPty) {
      auto m = start_modem(knobs);
      *dev = m->path();
      return m;
    }
    unlink(kSocketFile);
    const std::vector<std::string> serve =
        road == Road::kAbstract ? std::vector<std::string>{"--abstract"}
                                : std::vector<std::string>{"--socket", kSocketFile};
    knobs.insert(knobs.begin(), serve.begin(), serve.end());
    *dev = road == Road::kAbstract ? "/dev/null" : kSocketFile;  // any existing path, or the file
    return std::make_unique<process::Simulator>(knobs);
  }

  std::string backup_path() const { return dir_ + "/backup.bin"; }

  // A --save that must succeed, from a modem that holds `held`; what stands
  // at the backup's path afterwards (not followed) in *st.
  void save_from(const process::TempFile& held, struct stat* st) {
    auto m = start_modem({"--table-in", held.path()});
    ASSERT_TRUE(m->ready()) << m->notes();
    const Outcome r = tessel({"--command", "sar_tool", "-d", m->path(), "--save", backup_path()});
    ASSERT_EQ(r.result.status, 0) << r.result.err;
    ASSERT_EQ(lstat(backup_path().c_str(), st), 0);
  }

  void SetUp() override {
    ModemTest::SetUp();
    char dir[] = "/tmp/tessel-backup-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  ~Backup() override {
    unlink(backup_path().c_str());
    rmdir(dir_.c_str());
  }

  std::string dir_;
};

// Write with -f (a BUSY answer), save with --save from a modem that
// holds what was stored (a BUSY answer in the read), compare. On the pty
// each reply stays far below the 4096 bytes of one transfer.
TEST_F(Backup, ATableWrittenComesBackByteForByteThroughEachRoad) {
  for (Road road : {Road::kPty, Road::kAbstract, Road::kSocketFile}) {
    if (road != Road::kPty && !process::isolated()) continue;  // the proxy's names are machine-wide
    for (size_t size : {1u, 1024u, 4096u, 4097u, 40000u, 65535u}) {
      SCOPED_TRACE(std::string(road_name(road)) + ", " + std::to_string(size) + " bytes");
      const Bytes table = pattern(size, static_cast<uint32_t>(size));
      const process::TempFile a(table);
      const process::TempFile stored;
      std::string dev;
      {
        auto writer = modem(road, {"--table-out", stored.path(), "--busy", "25:1"}, &dev);
        ASSERT_TRUE(writer->ready()) << writer->notes();
        const Outcome w = tessel({"--command", "sar_tool", "-d", dev, "-f", a.path(), "--strict"});
        ASSERT_EQ(w.result.status, 0) << w.result.err;
      }
      auto reader = modem(road, {"--table-in", stored.path(), "--busy", "25:1", "--read-chunk", "1000"},
                          &dev);
      ASSERT_TRUE(reader->ready()) << reader->notes();
      const Outcome s = tessel({"--command", "sar_tool", "-d", dev, "--save", backup_path()});
      EXPECT_EQ(s.result.status, 0) << s.result.err;
      EXPECT_THAT(s.result.out, StartsWith("UnInit\nresult=saved item=48001 size=" + std::to_string(size) +
                                           " file_md5="));
      EXPECT_EQ(read_file(backup_path()), table);
      unlink(backup_path().c_str());
    }
  }
}

// Each lie ends the read with a clear failure; DIAG-over-MBIM is switched
// off again and the backup file keeps its old bytes, with nothing left
// beside it.
TEST_F(Backup, AModemThatLiesAboutItsTableLeavesTheBackupAsItWas) {
  const Bytes old = pattern(300, 40);
  const process::TempFile held(pattern(5000, 41));
  const process::TempFile too_long(pattern(70000, 42));
  struct Case {
    const char* what;
    std::vector<std::string> knobs;
    std::string step;
    std::string record;
  };
  const std::vector<Case> cases = {
      {"a total that changes", {"--table-in", held.path(), "--read-lie", "total-changes"}, "read",
       "ERROR:total changed"},
      {"a reply longer than the rest", {"--table-in", held.path(), "--read-lie", "overlong"}, "read",
       "ERROR:reply longer than the rest"},
      {"a reply without data", {"--table-in", held.path(), "--read-lie", "empty"}, "read",
       "ERROR:empty reply"},
      {"more than 65535 bytes", {"--table-in", too_long.path()}, "read", "ERROR:table too long"},
      {"a digest that does not match", {"--table-in", held.path(), "--item", "1"},
       "verify", "does not match the modem's digest"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    {
      FILE* f = std::fopen(backup_path().c_str(), "wb");
      ASSERT_NE(f, nullptr);
      ASSERT_EQ(std::fwrite(old.data(), 1, old.size(), f), old.size());
      std::fclose(f);
    }
    std::vector<std::string> knobs = c.knobs;
    knobs.insert(knobs.end(), {"--read-chunk", "1000"});
    auto m = start_modem(knobs);
    ASSERT_TRUE(m->ready()) << m->notes();
    const Outcome r = tessel({"--command", "sar_tool", "-d", m->path(), "--save", backup_path()});
    EXPECT_EQ(r.result.status, 9) << r.result.err;
    EXPECT_THAT(r.result.out, HasSubstr(" step=" + c.step + " apply=-\n"));
    EXPECT_THAT(r.result.err, HasSubstr(c.record));
    const std::vector<std::string> got = describe(m->rx());
    ASSERT_GE(got.size(), 3u);
    EXPECT_EQ(got[0], "21 0012");
    EXPECT_NE(std::find(got.begin(), got.end(), "21 0022"), got.end()) << "DIAG-over-MBIM left on";
    EXPECT_EQ(read_file(backup_path()), old);
    EXPECT_EQ(count_files(dir_, "backup.bin."), 0);
  }
}

TEST_F(Backup, ANewBackupIsReadableByAllAndAReplacedOneKeepsItsMode) {
  const process::TempFile held(pattern(700, 43));
  for (mode_t before : {mode_t{0}, mode_t{0600}, mode_t{0444}}) {
    SCOPED_TRACE(before);
    unlink(backup_path().c_str());
    if (before != 0) {
      FILE* f = std::fopen(backup_path().c_str(), "wb");
      ASSERT_NE(f, nullptr);
      std::fclose(f);
      ASSERT_EQ(chmod(backup_path().c_str(), before), 0);
    }
    struct stat st;
    ASSERT_NO_FATAL_FAILURE(save_from(held, &st));
    EXPECT_EQ(st.st_mode & 07777, before != 0 ? before : mode_t{0644});
    EXPECT_EQ(st.st_size, 700);
  }
}

// Another user plants the target in a world-writable directory: a 6755
// file of their own, or a link to a set-uid program. Root's backup gets no
// special bit (and not the planted file's mode), the link is replaced and
// its target left alone; root's own 6755 file keeps only 0755.
TEST_F(Backup, APlantedSetUidTargetOrLinkLeavesNoSpecialBit) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to plant another user's file";
  ASSERT_EQ(chmod(dir_.c_str(), 01777), 0);
  const process::TempFile held(pattern(200, 44));
  const process::TempFile program(pattern(50, 45));
  ASSERT_EQ(chmod(program.path().c_str(), 04755), 0);
  const mode_t mask = umask(022);
  umask(mask);
  struct Case {
    const char* what;
    mode_t expected;
  };
  const std::vector<Case> cases = {
      {"nobody's 6755 file", 0644 & ~mask},
      {"a link to a set-uid program", 0644 & ~mask},
      {"root's own 6755 file", 0755},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    unlink(backup_path().c_str());
    const std::string what = c.what;
    if (what[0] == 'a') {
      ASSERT_EQ(symlink(program.path().c_str(), backup_path().c_str()), 0);
    } else {
      FILE* f = std::fopen(backup_path().c_str(), "wb");
      ASSERT_NE(f, nullptr);
      std::fclose(f);
      if (what[0] == 'n') {
        ASSERT_EQ(chown(backup_path().c_str(), 65534, 65534), 0);
      }
      ASSERT_EQ(chmod(backup_path().c_str(), 06755), 0);
    }
    struct stat st;
    ASSERT_NO_FATAL_FAILURE(save_from(held, &st));
    EXPECT_EQ(st.st_mode, S_IFREG | c.expected);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(read_file(backup_path()), held.read());
  }
  struct stat st;
  ASSERT_EQ(stat(program.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 04755u);
  EXPECT_EQ(program.read(), pattern(50, 45));
}

// A backup that cannot be written fails as a save (status 10) and leaves no
// temporary file: under a file-size limit the write fails instead of the
// signal killing the run; a directory that is missing, or no directory,
// is refused before anything is sent.
TEST_F(Backup, AFileSizeLimitOrAMissingDirectoryFailsTheSaveCleanly) {
  const process::TempFile held(pattern(5000, 46));
  const std::string not_a_dir = dir_ + "/plain";
  {
    FILE* f = std::fopen(not_a_dir.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
  }
  struct Case {
    const char* what;
    std::string target;
    rlim_t limit;  // the tool's RLIMIT_FSIZE, in bytes
    bool sent;
    std::string why;
  };
  const std::vector<Case> cases = {
      {"a file-size limit", backup_path(), 2048, true, "File too large"},
      {"a missing directory", dir_ + "/missing/backup.bin", RLIM_INFINITY, false,
       "No such file or directory"},
      {"a file as the directory", not_a_dir + "/backup.bin", RLIM_INFINITY, false, "Not a directory"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto m = start_modem({"--table-in", held.path()});
    ASSERT_TRUE(m->ready()) << m->notes();
    // The limit is inherited by the tool alone: this process writes no
    // file while it stands.
    rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit limited = old;
    limited.rlim_cur = c.limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    const process::Result r =
        tessel({"--command", "sar_tool", "-d", m->path(), "--save", c.target}).result;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_EQ(r.status, 10) << r.err;
    EXPECT_EQ(r.signal, 0);
    EXPECT_THAT(r.out, HasSubstr(" step=save apply=-\n"));
    EXPECT_THAT(r.err, HasSubstr("sar_tool: cannot write " + c.target + ": " + c.why + "\n"));
    EXPECT_EQ(count_files(dir_, "backup.bin"), 0);
    if (!c.sent) {
      EXPECT_EQ(r.out, "result=failed item=48001 size=- file_md5=- modem_md5=- step=save apply=-\n");
      EXPECT_EQ(m->rx().size(), 0u);
    }
  }
  unlink(not_a_dir.c_str());
}

}  // namespace
}  // namespace e2e

// The run directory and the device lock's key: what another local user can
// plant in place of the directory is refused, every name of one node gives
// one key, and root's directory is the one the man page names.
#include "api/private_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "api/device_lock.h"
#include "api/state_directory.h"
#include "isolation.h"

namespace tessel {
namespace {

constexpr uid_t kNobody = 65534;

// rm -rf of a scratch tree; what it leaves behind is no test's concern.
void remove_tree(const std::string& path) {
  const int status = std::system(("rm -rf '" + path + "'").c_str());
  static_cast<void>(status);
}

// A scratch directory under /tmp, removed with what it holds.
class Scratch {
 public:
  Scratch() {
    std::array<char, 32> name = {"/tmp/tessel-dir-XXXXXX"};
    if (mkdtemp(name.data()) != nullptr) path_ = name.data();
  }
  ~Scratch() {
    if (!path_.empty()) remove_tree(path_);
  }
  std::string at(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

mode_t mode_of(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0 ? st.st_mode : 0;
}

TEST(PrivateDir, OnlyADirectoryOfTheUsersOwnThatNoOneElseCanWritePasses) {
  const Scratch s;
  ASSERT_FALSE(s.path().empty());
  ASSERT_EQ(mkdir(s.at("own").c_str(), 0700), 0);
  ASSERT_EQ(symlink(s.at("own").c_str(), s.at("link").c_str()), 0);
  ASSERT_EQ(mkfifo(s.at("fifo").c_str(), 0600), 0);
  const int fd = open(s.at("file").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  for (const char* name : {"group", "others"}) {
    ASSERT_EQ(mkdir(s.at(name).c_str(), 0700), 0);
  }
  ASSERT_EQ(chmod(s.at("group").c_str(), 0770), 0);
  ASSERT_EQ(chmod(s.at("others").c_str(), 01777), 0);
  struct Case {
    std::string name;
    int result;
    int error;
  };
  std::vector<Case> cases = {
      {"own", 0, 0},           {"link", -1, ENOTDIR},    {"fifo", -1, ENOTDIR},
      {"file", -1, ENOTDIR},   {"group", -1, EPERM},   {"others", -1, EPERM},
      {"none/sub", -1, ENOENT},
  };
  if (geteuid() == 0) {
    ASSERT_EQ(mkdir(s.at("foreign").c_str(), 0700), 0);
    ASSERT_EQ(chown(s.at("foreign").c_str(), kNobody, kNobody), 0);
    cases.push_back({"foreign", -1, EPERM});
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    errno = 0;
    EXPECT_EQ(private_dir_ensure(s.at(c.name).c_str(), 0700), c.result);
    if (c.result != 0) {
      EXPECT_EQ(errno, c.error);
    }
  }
  // Nothing that failed was replaced or changed.
  EXPECT_TRUE(S_ISLNK(mode_of(s.at("link"))));
  EXPECT_EQ(mode_of(s.at("others")) & 07777, 01777u);
}

TEST(PrivateDir, AMissingDirectoryIsCreatedWithTheModeAskedFor) {
  const Scratch s;
  ASSERT_FALSE(s.path().empty());
  const mode_t old = umask(022);
  EXPECT_EQ(private_dir_ensure(s.at("new").c_str(), 0755), 0);
  EXPECT_EQ(private_dir_ensure(s.at("new").c_str(), 0755), 0);  // and again, as it is
  umask(old);
  EXPECT_EQ(mode_of(s.at("new")), S_IFDIR | 0755);
}

// Root's run files live in /run/tessel, in a /run that isolated.sh gives
// this binary as a tmpfs of its own; a plain user's in a 0700 directory that
// another user cannot have made for it.
TEST(RunDirectory, RootsIsRunTesselAndAPlainUsersIsItsOwn) {
  if (geteuid() != 0 || !process::isolated()) {
    GTEST_SKIP() << "needs root and a /run of its own: " << process::kNotIsolated;
  }
  std::array<char, 64> dir;
  ASSERT_TRUE(run_directory(dir.data(), dir.size()));
  EXPECT_STREQ(dir.data(), "/run/tessel");
  EXPECT_EQ(mode_of(dir.data()), S_IFDIR | 0755);

  const std::string nobodys = "/tmp/tessel-65534";
  struct stat st;
  if (lstat(nobodys.c_str(), &st) == 0) GTEST_SKIP() << nobodys << " exists already";
  ASSERT_EQ(mkdir(nobodys.c_str(), 0755), 0);  // planted by root: not nobody's own
  ASSERT_EQ(seteuid(kNobody), 0);
  errno = 0;
  const bool planted = run_directory(dir.data(), dir.size());
  const int planted_error = errno;
  const std::string planted_dir = dir.data();
  ASSERT_EQ(seteuid(0), 0);
  ASSERT_EQ(rmdir(nobodys.c_str()), 0);
  ASSERT_EQ(seteuid(kNobody), 0);
  const bool own = run_directory(dir.data(), dir.size());
  ASSERT_EQ(seteuid(0), 0);
  const mode_t own_mode = mode_of(nobodys);
  rmdir(nobodys.c_str());
  EXPECT_FALSE(planted);
  EXPECT_EQ(planted_error, EPERM);
  EXPECT_EQ(planted_dir, nobodys);
  EXPECT_TRUE(own);
  EXPECT_STREQ(dir.data(), nobodys.c_str());
  EXPECT_EQ(own_mode, S_IFDIR | 0700);
}

// What another user can make in the world-writable /run/lock and /tmp
// (where root's runs once looked) no longer matters to root; a /run that
// others can write fails root's runs closed rather than send them there.
TEST(RunDirectory, RootNeverUsesADirectoryAnotherUserCouldPlant) {
  if (geteuid() != 0 || !process::isolated()) {
    GTEST_SKIP() << "needs root and a /run of its own: " << process::kNotIsolated;
  }
  const char* plants[] = {"/run/lock/tessel", "/tmp/tessel-0"};
  for (const char* p : plants) {
    struct stat st;
    if (lstat(p, &st) == 0) GTEST_SKIP() << p << " exists already";
  }
  ASSERT_EQ(seteuid(kNobody), 0);
  const bool made = mkdir(plants[0], 0777) == 0 && mkdir(plants[1], 0777) == 0;
  ASSERT_EQ(seteuid(0), 0);
  ASSERT_TRUE(made);
  std::array<char, 64> dir;
  EXPECT_TRUE(run_directory(dir.data(), dir.size()));
  EXPECT_STREQ(dir.data(), "/run/tessel");
  for (const char* p : plants) {
    struct stat st;
    EXPECT_EQ(lstat(p, &st), 0) << p;
    EXPECT_EQ(st.st_uid, kNobody) << p;
    rmdir(p);
  }

  ASSERT_EQ(mount("tmpfs", "/run", "tmpfs", 0, "mode=1777"), 0) << std::strerror(errno);
  errno = 0;
  const bool open_run = run_directory(dir.data(), dir.size());
  const int error = errno;
  umount("/run");
  EXPECT_FALSE(open_run);
  EXPECT_EQ(error, EPERM);
  EXPECT_STREQ(dir.data(), "/run");
}

// /var/lib/tessel may be a link to a directory on a persistent partition;
// it is followed only when root owns it and nobody else can write a
// directory above the link or its target.
TEST(StateDirectory, ALinkIsFollowedOnlyWhenRootOwnsItAndEverythingAboveIt) {
  if (geteuid() != 0 || !process::isolated()) {
    GTEST_SKIP() << "needs root and a /var/lib/tessel of its own: " << process::kNotIsolated;
  }
  const std::string base = "/var/lib/tessel/t";  // root's 0700 tmpfs, under root's directories
  const Scratch open_dir;                          // under /tmp, which anyone can write
  ASSERT_FALSE(open_dir.path().empty());
  ASSERT_EQ(mkdir(base.c_str(), 0700), 0);
  ASSERT_EQ(mkdir((base + "/persist").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(open_dir.at("persist").c_str(), 0700), 0);
  ASSERT_EQ(symlink("persist", (base + "/root-link").c_str()), 0);
  ASSERT_EQ(symlink("persist", (base + "/nobodys-link").c_str()), 0);
  ASSERT_EQ(lchown((base + "/nobodys-link").c_str(), kNobody, kNobody), 0);
  ASSERT_EQ(symlink(open_dir.at("persist").c_str(), (base + "/into-tmp").c_str()), 0);
  struct Case {
    std::string path;
    int result;
    std::string used;  // or errno's name
  };
  const Case cases[] = {
      {base + "/root-link", 0, base + "/persist"},
      {base + "/new", 0, base + "/new"},  // made, mode 0700
      {base + "/nobodys-link", -1, "EPERM"},
      {base + "/into-tmp", -1, "EPERM"},
      {open_dir.at("persist"), -1, "EPERM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::array<char, 128> out;
    errno = 0;
    EXPECT_EQ(persistent_directory(c.path.c_str(), out.data(), out.size()), c.result);
    if (c.result == 0) {
      EXPECT_EQ(out.data(), c.used);
      EXPECT_EQ(mode_of(out.data()), S_IFDIR | 0700);
    } else {
      EXPECT_EQ(errno, EPERM);
    }
  }
  remove_tree(base);
}

std::string key_of(const std::string& device, size_t size = 128) {
  std::vector<char> out(size, 'x');
  if (!device_lock_key(device.c_str(), out.data(), out.size())) return "(none:" + std::string(out.data()) + ")";
  return out.data();
}

TEST(DeviceLockKey, ANodeIsKeyedByItsNumberAnyOtherPathByWhereItResolves) {
  const Scratch s;
  ASSERT_FALSE(s.path().empty());
  ASSERT_EQ(symlink("/dev/null", s.at("modem").c_str()), 0);
  ASSERT_EQ(mkdir(s.at("real").c_str(), 0700), 0);
  ASSERT_EQ(symlink(s.at("real").c_str(), s.at("alias").c_str()), 0);
  const int fd = open(s.at("real/socket").c_str(), O_CREAT | O_WRONLY, 0600);
  ASSERT_GE(fd, 0);
  close(fd);
  std::string resolved = s.at("real/socket");
  for (char& c : resolved) {
    if (c == '/') c = '_';
  }
  EXPECT_EQ(key_of("/dev/null"), "char-1-3");           // /dev/null is 1:3 on Linux
  EXPECT_EQ(key_of(s.at("modem")), "char-1-3");         // a link to it
  if (geteuid() == 0) {  // a second node of the same number
    ASSERT_EQ(mknod(s.at("null2").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    EXPECT_EQ(key_of(s.at("null2")), "char-1-3");
  }
  EXPECT_EQ(key_of(s.at("alias/socket")), resolved);    // a file: its resolved path
  EXPECT_EQ(key_of("/no/such/device"), "_no_such_device");
  EXPECT_EQ(key_of(""), "(none:)");
  EXPECT_EQ(key_of("/dev/null", 8), "(none:)");          // "char-1-3" needs 9 bytes
  EXPECT_EQ(key_of("/dev/null", 9), "char-1-3");
  EXPECT_EQ(key_of("/no/such/device", 15), "(none:)");  // 16 bytes needed
}

}  // namespace
}  // namespace tessel

// private_dir.cpp — see private_dir.h.
#include "api/private_dir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>

#include "api/fd_guard.h"

namespace tessel {
namespace {

// 0 when `path` is, itself and not through a link, a directory of the
// effective user's that no one else can write. O_NONBLOCK: whatever sits
// there, the open must not wait.
int check_private(const char* path) {
  const FdGuard dir(open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (dir.get() < 0) return -1;
  struct stat st;
  if (fstat(dir.get(), &st) != 0) return -1;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return -1;
  }
  if (st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    errno = EPERM;
    return -1;
  }
  return 0;
}

// True when `path` is a directory of root's that neither group nor others
// can write; else false with errno ENOENT, ENOTDIR or EPERM.
bool root_only(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  if (st.st_uid != 0 || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    errno = EPERM;
    return false;
  }
  return true;
}

// True when snprintf's `n` fitted in `size` bytes.
bool fits(size_t size, int n) {
  if (n < 0 || static_cast<size_t>(n) >= size) {
    errno = ENAMETOOLONG;
    return false;
  }
  return true;
}

}  // namespace

int private_dir_ensure(const char* path, mode_t mode) {
  if (path == nullptr || *path == '\0') {
    errno = ENOENT;
    return -1;
  }
  if (mkdir(path, mode) != 0 && errno != EEXIST) return -1;
  return check_private(path);
}

bool run_directory(char* out, size_t size) {
  if (out == nullptr || size == 0) {
    errno = EINVAL;
    return false;
  }
  out[0] = '\0';
  const uid_t uid = geteuid();
  mode_t mode = kPrivateRunMode;
  int n;
  if (uid == 0) {
    // /run must be root's alone, or whoever could write it could plant
    // /run/tessel before the first run.
    if (!root_only(kRootRunParent)) {
      const int e = errno;
      n = std::snprintf(out, size, "%s", kRootRunParent);
      if (!fits(size, n)) out[0] = '\0';
      errno = e;
      return false;
    }
    n = std::snprintf(out, size, "%s", kRootRunDirectory);
    mode = kRootRunMode;
  } else {
    // The login session's runtime directory, when this user has one that
    // no one else can write; never $XDG_RUNTIME_DIR, which differs between
    // a shell, a service and cron.
    std::array<char, 64> runtime;
    const int m = std::snprintf(runtime.data(), runtime.size(), "/run/user/%u",
                                static_cast<unsigned>(uid));
    if (fits(runtime.size(), m) && check_private(runtime.data()) == 0) {
      n = std::snprintf(out, size, "%s/tessel", runtime.data());
    } else {
      n = std::snprintf(out, size, "/tmp/tessel-%u", static_cast<unsigned>(uid));
    }
  }
  if (!fits(size, n)) {
    out[0] = '\0';
    return false;
  }
  return private_dir_ensure(out, mode) == 0;
}

}  // namespace tessel

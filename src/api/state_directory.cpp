// state_directory.cpp — see state_directory.h.
#include "api/state_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "api/private_dir.h"

namespace tessel {
namespace {

constexpr size_t kMaxPath = 256;

// True when every directory that holds `path` ("/", "/var", "/var/lib" for
// "/var/lib/tessel") is root's or the effective user's, and writable by
// neither group nor others; else false with errno ENOTDIR or EPERM.
bool parents_safe(const char* path) {
  const size_t length = std::strlen(path);
  if (length >= kMaxPath || path[0] != '/') {
    errno = length >= kMaxPath ? ENAMETOOLONG : EINVAL;
    return false;
  }
  char holder[kMaxPath];
  for (size_t slash = 0; slash < length; ++slash) {
    if (path[slash] != '/') continue;
    // What lies after this slash is held by the directory before it.
    const size_t n = slash == 0 ? 1 : slash;
    std::memcpy(holder, path, n);
    holder[n] = '\0';
    struct stat st;
    if (stat(holder, &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
      errno = ENOTDIR;
      return false;
    }
    if ((st.st_uid != 0 && st.st_uid != geteuid()) || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
      errno = EPERM;
      return false;
    }
  }
  return true;
}

bool copy(const char* from, char* out, size_t size) {
  const size_t n = std::strlen(from);
  if (n >= size) {
    errno = ENAMETOOLONG;
    return false;
  }
  std::memcpy(out, from, n + 1);
  return true;
}

}  // namespace

int persistent_directory(const char* path, char* out, size_t size) {
  if (path == nullptr || out == nullptr || size == 0) {
    errno = EINVAL;
    return -1;
  }
  out[0] = '\0';
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    if (st.st_uid != 0 || !parents_safe(path)) {
      if (st.st_uid != 0) errno = EPERM;
      return -1;
    }
    // realpath's result is the C library's heap block; freed below.
    char* target = realpath(path, nullptr);
    if (target == nullptr) return -1;
    const bool fits = copy(target, out, size);
    std::free(target);
    if (!fits || !parents_safe(out)) return -1;
  } else if (!parents_safe(path) || !copy(path, out, size)) {
    return -1;
  }
  return private_dir_ensure(out, 0700);
}

}  // namespace tessel

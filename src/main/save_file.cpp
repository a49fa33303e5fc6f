// save_file.cpp — see save_file.h.
#include "main/save_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "api/file_replace.h"

namespace tessel {
namespace {

constexpr mode_t kNewFileMode = 0644;

// The directory part of `path` into `dir`, "." when there is none.
bool directory_of(const char* path, std::array<char, PATH_MAX>* dir) {
  const char* slash = std::strrchr(path, '/');
  const size_t dir_length = slash == nullptr ? 1 : (slash == path ? 1 : static_cast<size_t>(slash - path));
  if (dir_length >= dir->size()) {
    errno = ENAMETOOLONG;
    return false;
  }
  if (slash == nullptr) {
    std::memcpy(dir->data(), ".", 2);
  } else {
    std::memcpy(dir->data(), path, dir_length);
    (*dir)[dir_length] = '\0';
  }
  return true;
}

// The mode for the new file. An old file's mode is kept only when it is
// this user's own regular file, seen without following a link, and never
// its set-uid, set-gid or sticky bit: another user who planted a 6755 file
// or a link to a set-uid program must not get root to write one. -1 with
// errno for a target that is no file to replace.
int new_mode(const char* path, mode_t* mode) {
  // Read without changing it: no other thread creates files meanwhile.
  const mode_t mask = umask(0);
  umask(mask);
  *mode = kNewFileMode & ~mask;
  struct stat existing;
  if (lstat(path, &existing) != 0) return 0;
  if (S_ISDIR(existing.st_mode)) {
    errno = EISDIR;
    return -1;
  }
  if (S_ISLNK(existing.st_mode)) return 0;  // the link is replaced, not followed
  if (!S_ISREG(existing.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  if (existing.st_uid == geteuid()) *mode = existing.st_mode & 0777;
  return 0;
}

}  // namespace

int save_file_check(const char* path) {
  if (path == nullptr || *path == '\0') {
    errno = ENOENT;
    return -1;
  }
  std::array<char, PATH_MAX> dir;
  if (!directory_of(path, &dir)) return -1;
  struct stat st;
  if (stat(dir.data(), &st) != 0) return -1;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return -1;
  }
  if (faccessat(AT_FDCWD, dir.data(), W_OK | X_OK, AT_EACCESS) != 0) return -1;
  mode_t mode;
  return new_mode(path, &mode);
}

int save_file(const char* path, const uint8_t* data, size_t size) {
  if (path == nullptr || *path == '\0') {
    errno = ENOENT;
    return -1;
  }
  // A file-size limit (ulimit -f) then fails the write with EFBIG instead
  // of killing the process with the temporary file still there.
  signal(SIGXFSZ, SIG_IGN);
  std::array<char, PATH_MAX> dir;
  if (!directory_of(path, &dir)) return -1;
  mode_t mode;
  if (new_mode(path, &mode) != 0) return -1;
  std::array<char, PATH_MAX> temp;
  const int n = std::snprintf(temp.data(), temp.size(), "%s.tessel-XXXXXX", path);
  if (n < 0 || static_cast<size_t>(n) >= temp.size()) {
    errno = ENAMETOOLONG;
    return -1;
  }
  // The directory may be anyone's, so the temporary name is a fresh one.
  const ReplaceStep step =
      replace_file({path, dir.data(), temp.data(), TemporaryName::kUnique, mode}, data, size);
  // Once renamed, the whole backup is in place: a directory that could not
  // be synced after it does not undo that.
  return step == ReplaceStep::kDone || step == ReplaceStep::kSyncDirectory ? 0 : -1;
}

}  // namespace tessel

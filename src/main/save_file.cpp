// save_file.cpp — see save_file.h.
#include "main/save_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

namespace tessel {
namespace {

constexpr mode_t kNewFileMode = 0644;

// Closes a descriptor and removes the temporary file unless released.
class TempFile {
 public:
  TempFile(int fd, const char* path) : fd_(fd), path_(path) {}
  ~TempFile() {
    const int saved = errno;
    if (fd_ >= 0) close(fd_);
    if (path_ != nullptr) unlink(path_);
    errno = saved;
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  int fd() const { return fd_; }
  int close_now() {
    const int r = close(fd_);
    fd_ = -1;
    return r;
  }
  void keep() { path_ = nullptr; }

 private:
  int fd_;
  const char* path_;
};

bool write_all(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

int save_file(const char* path, const uint8_t* data, size_t size) {
  if (path == nullptr || *path == '\0') {
    errno = ENOENT;
    return -1;
  }
  // The directory part, "." when there is none.
  std::array<char, PATH_MAX> dir;
  const char* slash = std::strrchr(path, '/');
  const size_t dir_length = slash == nullptr ? 1 : (slash == path ? 1 : static_cast<size_t>(slash - path));
  if (dir_length >= dir.size()) {
    errno = ENAMETOOLONG;
    return -1;
  }
  if (slash == nullptr) {
    std::memcpy(dir.data(), ".", 2);
  } else {
    std::memcpy(dir.data(), path, dir_length);
    dir[dir_length] = '\0';
  }
  mode_t mode = kNewFileMode;
  struct stat existing;
  if (stat(path, &existing) == 0) {
    if (!S_ISREG(existing.st_mode)) {
      errno = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
      return -1;
    }
    mode = existing.st_mode & 07777;
  }
  std::array<char, PATH_MAX> temp;
  const int n = std::snprintf(temp.data(), temp.size(), "%s.tessel-XXXXXX", path);
  if (n < 0 || static_cast<size_t>(n) >= temp.size()) {
    errno = ENAMETOOLONG;
    return -1;
  }
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  TempFile file(fd, temp.data());
  if (!write_all(file.fd(), data, size) || fchmod(file.fd(), mode) != 0 || fsync(file.fd()) != 0 ||
      file.close_now() != 0 || rename(temp.data(), path) != 0) {
    return -1;
  }
  file.keep();
  // The rename itself reaches the disk with the directory.
  const int dfd = open(dir.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
  return 0;
}

}  // namespace tessel

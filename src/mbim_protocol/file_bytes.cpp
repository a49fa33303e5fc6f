// file_bytes.cpp — see file_bytes.h.
#include "mbim_protocol/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>

namespace tessel {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

int read_file_bytes(const char* path, FileBytes* out) {
  out->bytes.reset();
  out->size = 0;
  struct stat st;
  if (path == nullptr || stat(path, &st) != 0) return -1;
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > SIZE_MAX / 2) {
    errno = EFBIG;
    return -1;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  MessagePtr bytes;
  if (size > 0) {
    bytes.reset(static_cast<uint8_t*>(std::calloc(size, 1)));
    if (!bytes) return -1;
  }
  Fd fd(open(path, O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return -1;
  size_t have = 0;
  while (have < size) {
    const ssize_t n = read(fd.get(), bytes.get() + have, size - have);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;  // the file ended before its stated size
      return -1;
    }
    have += static_cast<size_t>(n);
  }
  out->bytes = std::move(bytes);
  out->size = size;
  return 0;
}

}  // namespace tessel

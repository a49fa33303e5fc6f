// table_file.cpp — see table_file.h.
#include "mbim_commands/table_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tessel {

TableFile::~TableFile() {
  if (fd_ >= 0) close(fd_);
}

int TableFile::open(const char* path) {
  if (path == nullptr) return -1;
  // Non-blocking, so a FIFO put in the file's place cannot hold the open
  // (and the channel) for ever; it is then refused as not a regular file.
  fd_ = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) return -1;
  struct stat st;
  if (fstat(fd_, &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  if (st.st_size < 0 || static_cast<uint64_t>(st.st_size) > SIZE_MAX / 2) {
    errno = EFBIG;
    return -1;
  }
  size_ = static_cast<size_t>(st.st_size);
  return 0;
}

ssize_t TableFile::fill() {
  if (begin_ > 0) {  // keep the unread tail at the front
    std::memmove(piece_.data(), piece_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  for (;;) {
    const ssize_t got = read(fd_, piece_.data() + end_, piece_.size() - end_);
    if (got < 0 && errno == EINTR) continue;
    if (got > 0) end_ += static_cast<size_t>(got);
    return got;
  }
}

int TableFile::read_next(uint8_t* out, size_t n) {
  if (n > piece_.size()) {
    errno = EINVAL;
    return -1;
  }
  while (end_ - begin_ < n) {
    const ssize_t got = fill();
    if (got <= 0) {
      if (got == 0) errno = EIO;  // the file ended before its stated size
      return -1;
    }
  }
  std::memcpy(out, piece_.data() + begin_, n);
  begin_ += n;
  return 0;
}

int TableFile::check_end() {
  if (end_ == begin_) {
    const ssize_t got = fill();
    if (got < 0) return -1;
    // At the end of what was read; the size tells a file cut short behind
    // bytes already read in.
    struct stat st;
    if (got == 0 && fstat(fd_, &st) == 0 && st.st_size == static_cast<off_t>(size_)) return 0;
  }
  errno = EIO;  // the file grew or shrank after it was opened
  return -1;
}

}  // namespace tessel

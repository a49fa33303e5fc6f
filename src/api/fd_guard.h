// fd_guard.h — owns one file descriptor and closes it on every way out.
//
// The files the tool writes and reads beside the modem (the --save backup,
// the state record, the run directories) hold their descriptors in one of
// these, so an early return cannot leak one. Closing keeps errno, so the
// caller still reports the failure that made it return.
#ifndef TESSEL_API_FD_GUARD_H_
#define TESSEL_API_FD_GUARD_H_

#include <unistd.h>

#include <cerrno>

namespace tessel {

class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    const int saved = errno;
    if (fd_ >= 0) close(fd_);
    errno = saved;
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;

  // The descriptor, or a negative value when the open failed.
  int get() const { return fd_; }

  // Closes now and says whether the kernel took everything written: 0, or
  // -1 with errno (EIO, ENOSPC or EDQUOT on file systems that report late).
  int close_now() {
    const int fd = fd_;
    fd_ = -1;
    return close(fd);
  }

 private:
  int fd_;
};

}  // namespace tessel

#endif  // TESSEL_API_FD_GUARD_H_

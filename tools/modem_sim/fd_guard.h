// fd_guard.h — owns one file descriptor and closes it when the owner goes.
//
// Every socket, pty end and pipe of the simulator lives in one of these, so an
// early return on any error path cannot leak a descriptor.
#ifndef TESSEL_TOOLS_MODEM_SIM_FD_GUARD_H_
#define TESSEL_TOOLS_MODEM_SIM_FD_GUARD_H_

#include <unistd.h>

namespace tessel::sim {

class FdGuard {
 public:
  FdGuard() = default;
  explicit FdGuard(int fd) : fd_(fd) {}
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  FdGuard(FdGuard&& other) noexcept : fd_(other.release()) {}
  FdGuard& operator=(FdGuard&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~FdGuard() { reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  // Gives the descriptor up without closing it.
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

  // Closes the held descriptor (if any) and holds `fd` instead.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_FD_GUARD_H_

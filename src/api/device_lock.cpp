// device_lock.cpp — see device_lock.h.
#include "api/device_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "api/private_dir.h"
#include "diag_log/diag_log.h"
#include "diag_log/operator_line.h"
#include "mbim_commands/stop_request.h"

TESSEL_LOG_MODULE("src/api");

namespace tessel {
namespace {

constexpr long kPollMilliseconds = 100;
constexpr mode_t kLockFileMode = 0600;
constexpr char kLockSuffix[] = ".lock";

int g_lock_fd = -1;

// Opens the lock file, creating it when missing, and checks it is a plain
// file of this user's. O_NOFOLLOW: a link is refused, not followed;
// O_NONBLOCK: a FIFO opens at once instead of waiting for a writer.
// Read-only is enough for flock. -1 with `*why` saying what is wrong.
int open_lock_file(const char* path, const char** why) {
  const int fd = open(path, O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kLockFileMode);
  if (fd < 0) {
    *why = std::strerror(errno);
    return -1;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *why = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    *why = "not a regular file";
  } else if (st.st_uid != geteuid()) {
    *why = "owned by another user";
  } else {
    // A file left by an older run, or created under a narrower umask.
    if ((st.st_mode & 07777) != kLockFileMode) fchmod(fd, kLockFileMode);
    return fd;
  }
  close(fd);
  return -1;
}

// Writes the lock file's path for `device` into `out`; false with `*why`,
// and `out` naming what failed (the directory, or the device).
bool lock_path(const char* device, char* out, size_t size, const char** why) {
  if (!run_directory(out, size)) {
    *why = std::strerror(errno);
    if (out[0] == '\0') std::snprintf(out, size, "%s", device);
    return false;
  }
  const size_t dir_length = std::strlen(out);
  // "/<key>.lock" after the directory.
  if (dir_length + 2 + sizeof kLockSuffix > size ||
      !device_lock_key(device, out + dir_length + 1, size - dir_length - 1 - (sizeof kLockSuffix - 1))) {
    *why = "no lock file name for this device";
    std::snprintf(out, size, "%s", device);
    return false;
  }
  out[dir_length] = '/';
  std::strcat(out, kLockSuffix);
  return true;
}

Status unusable(const char* path, const char* why, int error = 0) {
  LOG_TXT(LOG_ERROR, "[tessel] cannot use the lock %s (%s); not going on without it", path, why);
  operator_line(LinePriority::kError, "tessel: cannot use the lock %s: %s\n", path, why);
  return Status::system(Code::kLockUnusable, error);
}

double seconds_since(const timespec& start) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<double>(now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9;
}

}  // namespace

bool device_lock_key(const char* device, char* out, size_t size) {
  if (out == nullptr || size == 0) return false;
  out[0] = '\0';
  if (device == nullptr || *device == '\0') return false;
  struct stat st;
  int n;
  if (stat(device, &st) == 0 && S_ISCHR(st.st_mode)) {
    n = std::snprintf(out, size, "char-%u-%u", static_cast<unsigned>(major(st.st_rdev)),
                      static_cast<unsigned>(minor(st.st_rdev)));
  } else {
    // realpath's result is heap-allocated by the C library; freed below.
    char* resolved = realpath(device, nullptr);
    n = std::snprintf(out, size, "%s", resolved != nullptr ? resolved : device);
    std::free(resolved);
    for (char* p = out; *p != '\0'; ++p) {
      if (*p == '/') *p = '_';
    }
  }
  if (n < 0 || static_cast<size_t>(n) >= size) {
    out[0] = '\0';
    return false;
  }
  return true;
}

Status device_lock_take(const char* device, uint32_t wait_s) {
  device_lock_release();
  if (device == nullptr) device = "";
  std::array<char, PATH_MAX> path;
  const char* why = nullptr;
  if (!lock_path(device, path.data(), path.size(), &why)) return unusable(path.data(), why);
  const int fd = open_lock_file(path.data(), &why);
  if (fd < 0) return unusable(path.data(), why);
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  bool waiting = false;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (waiting) LOG_TXT(LOG_NORMAL, "[tessel] %s is free; going on", device);
      g_lock_fd = fd;
      return Code::kOk;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      const int e = errno;
      close(fd);
      return unusable(path.data(), std::strerror(e), e);
    }
    if (stop_requested() != 0 || seconds_since(start) >= wait_s) break;
    if (!waiting) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s is in use by another tessel run; waiting", device);
      // The record may go where the operator never looks; a wait of up to
      // minutes must not pass in silence.
      operator_line(LinePriority::kNotice,
                    "tessel: %s is in use by another tessel run; waiting up to %u s\n", device,
                    wait_s);
      waiting = true;
    }
    const timespec pause = {0, kPollMilliseconds * 1000000};
    nanosleep(&pause, nullptr);
  }
  close(fd);
  LOG_TXT(LOG_ERROR, "[tessel] %s still in use by another tessel run; giving up", device);
  return Code::kLockBusy;
}

void device_lock_release() {
  if (g_lock_fd < 0) return;
  close(g_lock_fd);  // closing the last descriptor drops the flock
  g_lock_fd = -1;
}

}  // namespace tessel

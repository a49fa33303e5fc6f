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

#include "diag_log/diag_log.h"
#include "mbim_commands/stop_request.h"

TESSEL_LOG_MODULE("src/api");

namespace tessel {
namespace {

constexpr long kPollMilliseconds = 100;

int g_lock_fd = -1;

// Opens the lock file, creating it when missing. An existing file is opened
// without O_CREAT: in a sticky world-writable directory the kernel refuses
// O_CREAT on a file another user owns (protected_regular), root included.
// Read-only is enough for flock.
int open_lock_file(const char* path) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT) return fd;
    const int created = open(path, O_RDONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (created >= 0 || errno != EEXIST) return created;
  }
  return -1;
}

bool is_directory(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
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

bool device_lock_path(const char* device, char* out, size_t size) {
  if (device == nullptr || size == 0) return false;
  // realpath's result is heap-allocated by the C library; freed below.
  char* resolved = realpath(device, nullptr);
  const char* name = resolved != nullptr ? resolved : device;
  const char* dir = is_directory(kLockDirectory) ? kLockDirectory : kLockFallbackDirectory;
  const int n = std::snprintf(out, size, "%s/tessel-%s.lock", dir, name);
  std::free(resolved);
  if (n < 0 || static_cast<size_t>(n) >= size) return false;
  // Only the device's part: from just after "<dir>/tessel-" to ".lock".
  for (char* p = out + std::strlen(dir) + 1 + 7; *p != '\0'; ++p) {
    if (*p == '/') *p = '_';
  }
  return true;
}

int device_lock_take(const char* device, uint32_t wait_s) {
  device_lock_release();
  std::array<char, PATH_MAX + 32> path;
  if (!device_lock_path(device, path.data(), path.size())) {
    LOG_TXT(LOG_ERROR, "[tessel] no lock file name for %s; going on without the lock",
            device != nullptr ? device : "(null)");
    return 0;
  }
  const int fd = open_lock_file(path.data());
  if (fd < 0) {
    LOG_TXT(LOG_ERROR, "[tessel] cannot open the lock %s (%s); going on without it", path.data(),
            std::strerror(errno));
    return 0;
  }
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  bool waiting = false;
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
      if (waiting) LOG_TXT(LOG_NORMAL, "[tessel] %s is free; going on", device);
      g_lock_fd = fd;
      return 0;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) {
      LOG_TXT(LOG_ERROR, "[tessel] cannot lock %s (%s); going on without the lock", path.data(),
              std::strerror(errno));
      close(fd);
      return 0;
    }
    if (stop_requested() != 0 || seconds_since(start) >= wait_s) break;
    if (!waiting) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s is in use by another tessel run; waiting", device);
      waiting = true;
    }
    const timespec pause = {0, kPollMilliseconds * 1000000};
    nanosleep(&pause, nullptr);
  }
  close(fd);
  LOG_TXT(LOG_ERROR, "[tessel] %s still in use by another tessel run; giving up", device);
  return -1;
}

void device_lock_release() {
  if (g_lock_fd < 0) return;
  close(g_lock_fd);  // closing the last descriptor drops the flock
  g_lock_fd = -1;
}

}  // namespace tessel

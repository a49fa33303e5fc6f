// device_lock.h — one tessel run per modem at a time.
//
// Two runs on one modem interleave their requests: two table writes store a
// mix of both tables, and on the device node each run takes the other's
// answers. So every run holds an advisory lock (flock) on a file named
// after its device from before the channel opens until after it closes:
//   /run/lock/tessel-<device>.lock   (/tmp when /run/lock does not exist)
// <device> is the device path with symbolic links resolved (two names of one
// node share the lock) and every '/' turned into '_'. A second run waits
// for the lock, polling every 100 ms, up to its wait; a stop signal
// (stop_request.h) ends the wait early. flock locks are dropped by the
// kernel when the process ends, however it ends, so a crashed run never
// leaves the modem locked.
#ifndef TESSEL_API_DEVICE_LOCK_H_
#define TESSEL_API_DEVICE_LOCK_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr char kLockDirectory[] = "/run/lock";
constexpr char kLockFallbackDirectory[] = "/tmp";

// Writes the key that names `device`'s lock file (and whatever else is kept
// per device) into `out` (`size` bytes, always terminated when `size` > 0):
//   a path that names a character device   "char-<major>-<minor>"
//   any other path (the proxy's socket)    its resolved path, '/' as '_'
// so every name of one node (links, bind mounts, /dev/char/M:N) shares one
// key, whichever road the run then takes to the modem. A path that cannot be
// resolved is keyed as written. False when `device` is empty or the key
// does not fit.
bool device_lock_key(const char* device, char* out, size_t size);

// Writes the lock file's path for `device` into `out` (`size` bytes, always
// terminated). False when it does not fit.
bool device_lock_path(const char* device, char* out, size_t size);

// Takes the lock of `device`, waiting up to `wait_s` seconds. 0 with the
// lock held, also when the lock file cannot be created at all (a read-only
// system: the run goes on unlocked, with an error record); -1 when another
// run held it for the whole wait or a stop signal ended the wait.
int device_lock_take(const char* device, uint32_t wait_s);

// Releases the lock, if held.
void device_lock_release();

}  // namespace tessel

#endif  // TESSEL_API_DEVICE_LOCK_H_

// device_lock.h — one tessel run per modem at a time.
//
// Two runs on one modem interleave their requests: two table writes store a
// mix of both tables, and on the device node each run takes the other's
// answers. So every run holds an advisory lock (flock) on a file named
// after its device from before the channel opens until after it closes:
//   <run directory>/<key>.lock     e.g. /run/tessel/char-166-0.lock
// The run directory is the effective user's own (private_dir.h), so no
// other user can create, replace, remove or even open a root run's lock;
// the file is mode 0600. The key (device_lock_key) follows the device
// number of a node, so every name of one modem shares one lock.
//
// A second run waits for the lock, polling every 100 ms, up to its wait; a
// stop signal (stop_request.h) ends the wait early. flock locks are dropped
// by the kernel when the process ends, however it ends, so a crashed run
// never leaves the modem locked.
//
// A lock that cannot be had for any other reason (no safe run directory, a
// link, FIFO, directory or another user's file at the lock path, no
// descriptor left) fails the run closed: going on unlocked is exactly what
// a neighbour who planted the obstacle would want.
#ifndef TESSEL_API_DEVICE_LOCK_H_
#define TESSEL_API_DEVICE_LOCK_H_

#include <cstddef>
#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

// Writes the key that names `device`'s lock file (and whatever else is kept
// per device) into `out` (`size` bytes, always terminated when `size` > 0):
//   a path that names a character device   "char-<major>-<minor>"
//   any other path (the proxy's socket)    its resolved path, '/' as '_'
// so every name of one node (links, bind mounts, /dev/char/M:N) shares one
// key, whichever road the run then takes to the modem. A path that cannot be
// resolved is keyed as written. False when `device` is empty or the key
// does not fit.
bool device_lock_key(const char* device, char* out, size_t size);

// Takes the lock of `device`, waiting up to `wait_s` seconds. Ok with the
// lock held; kLockBusy when another run held it for the whole wait, or a
// stop signal came; or kLockUnusable when the lock file could not be
// opened, checked or locked, after a record and a line on standard error
// that name the lock's path and say what is wrong (sys_errno, when the
// kernel said it). Nothing at the lock path makes it wait longer than `wait_s`.
Status device_lock_take(const char* device, uint32_t wait_s);

// Releases the lock, if held.
void device_lock_release();

}  // namespace tessel

#endif  // TESSEL_API_DEVICE_LOCK_H_

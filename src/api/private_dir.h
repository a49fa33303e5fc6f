// private_dir.h — directories that only the effective user can write.
//
// tessel's run files (the device locks, what it keeps about a device
// between runs) must be out of reach of every other local user: in a
// world-writable directory such as /run/lock or /tmp anyone can plant a
// link, a FIFO or a file of their own under the name a root run will open,
// or hold a lock on a file they can read. So these files live in a
// directory of the user's own, checked on every run (not only when it was
// created, since another user may have made it first):
//   root        /run/tessel            mode 0755, in /run, which only root
//                                      can write: no other user can plant
//                                      anything there before root's first run
//   other user  /run/user/<uid>/tessel mode 0700 when /run/user/<uid> is a
//                                      directory of that user's own
//               /tmp/tessel-<uid>      mode 0700 otherwise
// The choice depends on the user and the file system alone, never on the
// environment, so every run of one user on one device meets the same lock.
// A directory that fails the check is never replaced or worked around: the
// caller reports it and does nothing (another user who made
// /tmp/tessel-<uid> first can stop that user's runs, but never steer them).
// Root never falls back to a world-writable directory: without a /run that
// only root can write, root's runs fail closed.
#ifndef TESSEL_API_PRIVATE_DIR_H_
#define TESSEL_API_PRIVATE_DIR_H_

#include <sys/types.h>

#include <cstddef>

namespace tessel {

constexpr char kRootRunParent[] = "/run";
constexpr char kRootRunDirectory[] = "/run/tessel";
constexpr mode_t kRootRunMode = 0755;
constexpr mode_t kPrivateRunMode = 0700;

// Creates `path` with `mode` (less the umask) when it is missing (its parent
// must exist), then checks, without following a link at `path`, that it is
// a directory owned by the effective uid and writable by neither group nor
// others. 0, or -1 with errno: ENOTDIR (not a directory, a symbolic link
// to one included), EPERM (another owner, or writable by group or others),
// or what mkdir or open gave (EACCES, ENOENT for a missing parent, ...).
int private_dir_ensure(const char* path, mode_t mode);

// Writes the effective user's run directory (see above), ensured with
// private_dir_ensure, into `out` (`size` bytes, always terminated when
// `size` > 0). False with errno set when no safe directory can be had;
// `out` then names the directory that failed, so the caller can say which
// (empty, with ENAMETOOLONG, when the name does not fit). For root that is
// /run itself when it is missing (ENOENT), no directory (ENOTDIR), or not
// root's alone (EPERM).
bool run_directory(char* out, size_t size);

}  // namespace tessel

#endif  // TESSEL_API_PRIVATE_DIR_H_

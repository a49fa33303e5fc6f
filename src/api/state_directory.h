// state_directory.h — where a device's state record is kept, and whether it
// outlives a reboot.
//
// The record must outlive the run that wrote it, a power cut and a reboot
// included: a table stored but not applied is known from it alone. So it
// lives in /var/lib/tessel. On a read-only root file system (the usual A/B
// layout) /var/lib/tessel may be a symbolic link to a directory on a
// persistent, writable partition, as /var/lib/mender -> /data/mender. Such
// a link is followed only when root owns it and every directory above the
// link and above its target is root's (or the effective user's) and
// writable by no one else: whoever could change one of them could steer
// root's record. The directory itself must pass private_dir_ensure's check.
// Without such a directory the record goes to the run directory
// (private_dir.h), a tmpfs under /run that a reboot empties.
#ifndef TESSEL_API_STATE_DIRECTORY_H_
#define TESSEL_API_STATE_DIRECTORY_H_

#include <cstddef>

namespace tessel {

constexpr char kStateDirectory[] = "/var/lib/tessel";

// Resolves `path` as /var/lib/tessel is resolved (above), making it (mode
// 0700) when it is missing, and writes the directory to use into `out`
// (`size` bytes): `path` itself, or the target of a trusted link. 0, or -1
// with errno: EPERM (a link not root's, or a directory on the way that
// others can write or another user owns), ENOTDIR, ENOENT (a missing
// parent), EROFS, ENAMETOOLONG, or what stat or mkdir gave.
int persistent_directory(const char* path, char* out, size_t size);

}  // namespace tessel

#endif  // TESSEL_API_STATE_DIRECTORY_H_

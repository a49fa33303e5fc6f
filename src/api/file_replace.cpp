// file_replace.cpp — see file_replace.h.
#include "api/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "api/fd_guard.h"

namespace tessel {
namespace {

// Creates the temporary file of `target` for writing; -1 with errno.
int create_temporary(const FileReplace& target) {
  if (target.naming == TemporaryName::kUnique) return mkostemp(target.temporary, O_CLOEXEC);
  return open(target.temporary, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
}

}  // namespace

bool write_all(int fd, const void* data, size_t size) {
  const uint8_t* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

int sync_directory(const char* directory) {
  const FdGuard dir(open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() < 0) return -1;
  return fsync(dir.get());
}

ReplaceStep replace_file(const FileReplace& target, const void* data, size_t size) {
  FdGuard file(create_temporary(target));
  if (file.get() < 0) return ReplaceStep::kOpen;
  // From here on a failure removes the temporary file (the guard closes it
  // after), errno kept.
  auto drop = [&target](ReplaceStep step) {
    const int saved = errno;
    unlink(target.temporary);
    errno = saved;
    return step;
  };
  // The mode is set before the bytes go in: a descriptor open for writing
  // writes whatever the mode says, so a 0444 file is replaced by a 0444 one.
  if (fchmod(file.get(), target.mode) != 0) return drop(ReplaceStep::kOpen);
  if (!write_all(file.get(), data, size)) return drop(ReplaceStep::kWrite);
  if (fsync(file.get()) != 0 || file.close_now() != 0) return drop(ReplaceStep::kFsync);
  if (rename(target.temporary, target.path) != 0) return drop(ReplaceStep::kRename);
  if (sync_directory(target.directory) != 0) return ReplaceStep::kSyncDirectory;
  return ReplaceStep::kDone;
}

}  // namespace tessel

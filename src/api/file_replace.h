// file_replace.h — a file replaced whole or not at all.
//
// A file that a crash, a full disk or a kill cut short, or that replaced a
// good one with half of a new one, is worse than the old one. So the bytes
// go to a temporary file beside the target (the same file system, so the
// rename is atomic), are written in full and synced, and only then renamed
// over the target; the directory is synced last, so that the rename itself
// survives a power cut. Whatever happens, the target holds its old content
// or the whole new one. The --save backup and the state record both go
// this way.
#ifndef TESSEL_API_FILE_REPLACE_H_
#define TESSEL_API_FILE_REPLACE_H_

#include <sys/types.h>

#include <cstddef>

namespace tessel {

// Writes `size` bytes of `data` to `fd`, carrying on after short writes and
// EINTR. True, or false with errno (ENOSPC for a write that took nothing).
bool write_all(int fd, const void* data, size_t size);

// Syncs `directory`, so that a rename or unlink in it lasts. 0, or -1 with
// errno (from the open or the fsync).
int sync_directory(const char* directory);

// How the temporary file beside the target is named.
enum class TemporaryName {
  // `temporary` ends in "XXXXXX", which mkostemp replaces with a fresh name:
  // for a directory that other users may write to.
  kUnique,
  // `temporary` is used as it stands, created or truncated, never through
  // a link: for a directory that only this user writes to, where one that
  // a killed run left behind is simply reused.
  kFixed,
};

// The steps of a replace, in their order, so a caller can name the failed one.
enum class ReplaceStep {
  kDone,           // nothing failed
  kOpen,           // creating the temporary file or giving it its mode
  kWrite,          // writing the bytes
  kFsync,          // syncing and closing the temporary file
  kRename,         // renaming it over the target
  kSyncDirectory,  // the target is replaced, but its directory may not be on disk
};

struct FileReplace {
  const char* path;       // the file replaced
  const char* directory;  // the directory `path` and `temporary` are in
  char* temporary;        // the temporary file (a template for kUnique, filled in)
  TemporaryName naming;
  mode_t mode;            // the new file's permission bits, exactly (no umask)
};

// Replaces `target.path` with the `size` bytes of `data`, the steps above
// in order. kDone, or the step that failed with errno saying why; up to
// kRename `path` is as it was and the temporary file is removed.
ReplaceStep replace_file(const FileReplace& target, const void* data, size_t size);

}  // namespace tessel

#endif  // TESSEL_API_FILE_REPLACE_H_

// save_file.h — a file written whole or not at all.
//
// A backup that a crash or a full disk cut short, or that replaced a good
// file with half of a new one, is worse than none: it is replaced whole
// (api/file_replace.h), so the target always holds either its old content
// or the whole new one. What is --save's own is the mode it gets, what it
// may replace, and the checks made before the modem is asked for anything.
#ifndef TESSEL_MAIN_SAVE_FILE_H_
#define TESSEL_MAIN_SAVE_FILE_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// Writes `size` bytes to `path`: a temporary file beside it under a fresh
// name, given its mode, written in full, synced, then renamed over `path`
// and the directory synced (a directory that cannot be synced after the
// rename does not fail the save). The mode is 0644 less the umask, or the
// permission bits (never set-uid, set-gid or sticky) of the file it
// replaces when lstat shows this user's own regular file; a symbolic link
// at `path` is replaced, never followed. SIGXFSZ is ignored from the first
// call on, so a file-size limit fails the write. 0, or -1 with errno set
// and `path` as it was (the temporary file removed).
int save_file(const char* path, const uint8_t* data, size_t size);

// What save_file can tell before there is anything to write: `path`'s
// directory exists and this user may create files in it, and `path` is no
// directory, FIFO or device. 0, or -1 with errno set. Called before the
// channel opens, so a backup that cannot be written costs the modem nothing.
int save_file_check(const char* path);

}  // namespace tessel

#endif  // TESSEL_MAIN_SAVE_FILE_H_

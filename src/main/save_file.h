// save_file.h — a file written whole or not at all.
//
// A backup that a crash or a full disk cut short, or that replaced a good
// file with half of a new one, is worse than none. The bytes go to a
// temporary file in the same directory, are flushed to the disk, and only
// then renamed over the target, so the target always holds either its old
// content or the whole new one.
#ifndef TESSEL_MAIN_SAVE_FILE_H_
#define TESSEL_MAIN_SAVE_FILE_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// Writes `size` bytes to `path`: a temporary file beside it, written in
// full, synced, given mode 0644 (or the mode of the file it replaces), then
// renamed over `path` and the directory synced. 0, or -1 with errno set and
// `path` as it was (the temporary file removed).
int save_file(const char* path, const uint8_t* data, size_t size);

}  // namespace tessel

#endif  // TESSEL_MAIN_SAVE_FILE_H_

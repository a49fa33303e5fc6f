// file_bytes.h — a whole local file in memory, for the table write.
#ifndef TESSEL_MBIM_PROTOCOL_FILE_BYTES_H_
#define TESSEL_MBIM_PROTOCOL_FILE_BYTES_H_

#include <cstddef>

#include "mbim_protocol/mbim_message.h"

namespace tessel {

struct FileBytes {
  MessagePtr bytes;  // C-allocated, `size` bytes (null for an empty file)
  size_t size = 0;
};

// Reads the file at `path` whole: its size from stat, then reads until every
// byte is in, so a short read is retried rather than leaving a zero tail.
// 0, or -1 (with errno set) when the file cannot be stat'ed, allocated,
// opened or read, or ends before its stated size.
int read_file_bytes(const char* path, FileBytes* out);

}  // namespace tessel

#endif  // TESSEL_MBIM_PROTOCOL_FILE_BYTES_H_

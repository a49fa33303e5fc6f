// table_file.h — the table file of a write, read a piece at a time.
//
// The write moves the table through one packet buffer a chunk at a time, so
// the file is read in 16 KiB pieces, never held whole: the tool's memory stays
// the same for a 4 KiB or a 4 MiB table, and a 1024-byte chunk costs a
// sixteenth of a read call rather than one.
//
// The size is taken once, when the file is opened. A file that then ends
// before that size, or still has bytes after it, changed while it was being
// sent and is refused, as is one that cannot be opened or read.
#ifndef TESSEL_MBIM_COMMANDS_TABLE_FILE_H_
#define TESSEL_MBIM_COMMANDS_TABLE_FILE_H_

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessel {

class TableFile {
 public:
  TableFile() = default;
  ~TableFile();
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;

  // Opens `path` read-only and takes its size. 0, or -1 with errno set when
  // it cannot be opened or stat'ed, is not a regular file (EINVAL) or is
  // too large (EFBIG); -1 with errno untouched for a null path.
  int open(const char* path);

  // The size found by open().
  size_t size() const { return size_; }

  // Copies the next `n` bytes (at most 16 KiB) into `out`. 0, or -1 with
  // errno set: the read's own error, or EIO when the file ends first.
  int read_next(uint8_t* out, size_t n);

  // Once size() bytes have been taken: 0 when the file ends there and still
  // has the size found by open(); -1 with errno EIO when it goes on or its
  // size changed, or with the read's own error.
  int check_end();

 private:
  static constexpr size_t kPieceSize = 16384;

  // One read() appended to the unread bytes; the bytes it got, 0 at the end
  // of the file, or -1 (errno set).
  ssize_t fill();

  int fd_ = -1;
  size_t size_ = 0;
  std::array<uint8_t, kPieceSize> piece_;
  size_t begin_ = 0;  // piece_[begin_, end_) read from the file, not yet taken
  size_t end_ = 0;
};

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_TABLE_FILE_H_

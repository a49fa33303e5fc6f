// table_file_test.cpp — the table file read a chunk at a time: the bytes
// come out as the file holds them, and a file that is cut short or grows
// while it is being read is refused, whether the change lies ahead of the
// bytes already read in or behind them.
#include "mbim_commands/table_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "temp_table_file.h"

namespace {

using table_file::pattern;
using TempFile = table_file::TableFile;

// Opens `file` and takes its first 1024-byte chunk, which reads the first
// 16 KiB piece in.
void open_and_take_first_chunk(tessel::TableFile* reader, const TempFile& file) {
  ASSERT_EQ(reader->open(file.path()), 0);
  uint8_t chunk[1024];
  ASSERT_EQ(reader->read_next(chunk, sizeof chunk), 0);
}

// Takes the file from `from` (a multiple of 1024 already taken) to its size
// in chunks of up to 1024 bytes, as the table write does.
std::vector<uint8_t> take_chunks(tessel::TableFile& reader, int* result, size_t from = 0) {
  std::vector<uint8_t> all;
  uint8_t chunk[1024];
  *result = 0;
  for (size_t offset = from; offset < reader.size(); offset += sizeof chunk) {
    const size_t n = reader.size() - offset < sizeof chunk ? reader.size() - offset : sizeof chunk;
    if (reader.read_next(chunk, n) != 0) {
      *result = -1;
      return all;
    }
    all.insert(all.end(), chunk, chunk + n);
  }
  return all;
}

TEST(TableFile, GivesTheFileChunkByChunkAndEndsWhereItsSizeSays) {
  for (size_t size : {size_t{1}, size_t{1024}, size_t{3000}, size_t{16384}, size_t{70000}}) {
    const auto data = pattern(size);
    TempFile file(data);
    tessel::TableFile reader;
    ASSERT_EQ(reader.open(file.path()), 0);
    EXPECT_EQ(reader.size(), size);
    int result = 0;
    EXPECT_EQ(take_chunks(reader, &result), data) << size;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(reader.check_end(), 0) << size;
  }
}

TEST(TableFile, AnEmptyFileEndsAtOnce) {
  TempFile file({});
  tessel::TableFile reader;
  ASSERT_EQ(reader.open(file.path()), 0);
  EXPECT_EQ(reader.size(), 0u);
  EXPECT_EQ(reader.check_end(), 0);
}

TEST(TableFile, AMissingFileDoesNotOpen) {
  tessel::TableFile reader;
  errno = 0;
  EXPECT_EQ(reader.open("/nonexistent/sar.bin"), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(reader.open(nullptr), -1);
}

TEST(TableFile, OnlyARegularFileOpensAndAFifoDoesNotHoldTheOpen) {
  char dir[] = "/tmp/tessel-table-dir-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string fifo = std::string(dir) + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {std::string(dir), fifo}) {
    tessel::TableFile reader;
    errno = 0;
    EXPECT_EQ(reader.open(path.c_str()), -1) << path;  // a blocking open would hang here
    EXPECT_EQ(errno, EINVAL) << path;
  }
  unlink(fifo.c_str());
  rmdir(dir);
}

TEST(TableFile, AFileCutShortAheadOfTheBytesReadInFailsWithEio) {
  TempFile file(pattern(70000));
  tessel::TableFile reader;
  ASSERT_NO_FATAL_FAILURE(open_and_take_first_chunk(&reader, file));
  file.truncate_to(20000);
  int result = 0;
  errno = 0;
  const auto taken = take_chunks(reader, &result, 1024);
  EXPECT_EQ(result, -1);
  EXPECT_EQ(errno, EIO);
  EXPECT_LT(1024 + taken.size(), size_t{20000});
}

TEST(TableFile, AFileCutShortBehindTheBytesReadInIsCaughtAtTheEnd) {
  const auto data = pattern(3000);
  TempFile file(data);
  tessel::TableFile reader;
  ASSERT_NO_FATAL_FAILURE(open_and_take_first_chunk(&reader, file));  // the whole file is read in
  file.truncate_to(2500);
  uint8_t chunk[1024];
  ASSERT_EQ(reader.read_next(chunk, 1024), 0);
  ASSERT_EQ(reader.read_next(chunk, 952), 0);
  errno = 0;
  EXPECT_EQ(reader.check_end(), -1);
  EXPECT_EQ(errno, EIO);
}

TEST(TableFile, AFileThatGrowsIsCaughtAtTheEnd) {
  for (size_t size : {size_t{3000}, size_t{70000}}) {
    TempFile file(pattern(size));
    tessel::TableFile reader;
    ASSERT_NO_FATAL_FAILURE(open_and_take_first_chunk(&reader, file));
    file.append(10);
    int result = 0;
    take_chunks(reader, &result, 1024);
    ASSERT_EQ(result, 0) << size;  // the bytes up to the size are all there
    errno = 0;
    EXPECT_EQ(reader.check_end(), -1) << size;
    EXPECT_EQ(errno, EIO);
  }
}

}  // namespace

// table_file.h — table files for the tests of the table write and of the
// reader it takes the file through: a temporary file holding given bytes,
// removed at the end of the test, that a test can cut short or let grow.
#ifndef TESSEL_TESTS_MBIM_COMMANDS_TEMP_TABLE_FILE_H_
#define TESSEL_TESTS_MBIM_COMMANDS_TEMP_TABLE_FILE_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace table_file {

// `n` bytes that differ from their neighbours, so a lost, doubled or moved
// chunk shows.
inline std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

class TableFile {
 public:
  explicit TableFile(const std::vector<uint8_t>& bytes) {
    char name[] = "/tmp/tessel-table-XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (!bytes.empty()) {
      EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    close(fd);
  }
  ~TableFile() { unlink(path_.c_str()); }
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;

  const char* path() const { return path_.c_str(); }
  void truncate_to(off_t size) const { ASSERT_EQ(truncate(path_.c_str(), size), 0); }
  void append(size_t n) const {
    FILE* f = std::fopen(path_.c_str(), "ab");
    ASSERT_NE(f, nullptr);
    const std::vector<uint8_t> extra(n, 0x55);
    EXPECT_EQ(std::fwrite(extra.data(), 1, n, f), n);
    std::fclose(f);
  }

 private:
  std::string path_;
};

}  // namespace table_file

#endif  // TESSEL_TESTS_MBIM_COMMANDS_TEMP_TABLE_FILE_H_

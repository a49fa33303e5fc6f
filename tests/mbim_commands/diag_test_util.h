// diag_test_util.h — what the table write and read tests share: frames built
// and undone by hand, the modem's write replies, table files and the
// fixture that resets the scripted transport and the log.
#ifndef TESSEL_TESTS_MBIM_COMMANDS_DIAG_TEST_UTIL_H_
#define TESSEL_TESTS_MBIM_COMMANDS_DIAG_TEST_UTIL_H_

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture_log.h"
#include "fake_transport.h"
#include "mbim_format/diag_frame.h"

namespace diag_test {

using fake_transport::command_done;

// Undoes the escaping of a request frame, keeping the FCS, dropping the flag.
inline std::vector<uint8_t> unescape(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> raw;
  for (size_t i = 0; i + 1 < frame.size(); ++i) {
    if (frame[i] == 0x7D && i + 2 < frame.size()) {
      raw.push_back(frame[++i] ^ 0x20);
    } else {
      raw.push_back(frame[i]);
    }
  }
  return raw;
}

inline std::vector<uint8_t> info_of(const std::vector<uint8_t>& request) {
  return std::vector<uint8_t>(request.begin() + 48, request.end());
}

// A framed reply: raw bytes, their FCS low byte first, escaped, closing flag.
inline std::vector<uint8_t> frame(std::vector<uint8_t> raw) {
  const uint16_t fcs = tessel::diag_crc16(raw.data(), raw.size());
  raw.push_back(static_cast<uint8_t>(fcs));
  raw.push_back(static_cast<uint8_t>(fcs >> 8));
  std::vector<uint8_t> out;
  for (uint8_t b : raw) {
    if (b == 0x7E || b == 0x7D) {
      out.push_back(0x7D);
      out.push_back(b ^ 0x20);
    } else {
      out.push_back(b);
    }
  }
  out.push_back(0x7E);
  return out;
}

inline const std::vector<uint8_t> kSignature = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00,
                                         0x00, 0x0E, 0x00, 0x02, 0x00, 0xFD, 0xFF};

inline fake_transport::Reply write_ok() {
  std::vector<uint8_t> raw = kSignature;
  raw.push_back(0x00);
  raw.push_back(0x00);
  return {0, command_done(1, 0, frame(raw))};
}

inline fake_transport::Reply write_bad_signature() {
  std::vector<uint8_t> raw = kSignature;
  raw[8] = 0x0F;
  raw.push_back(0x00);
  return {0, command_done(1, 0, frame(raw))};
}

inline fake_transport::Reply busy() { return {0, command_done(1, 1, {})}; }

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
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

inline std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

class DiagTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_transport::reset();
    capture_log::clear();
  }
};

}  // namespace diag_test

#endif  // TESSEL_TESTS_MBIM_COMMANDS_DIAG_TEST_UTIL_H_

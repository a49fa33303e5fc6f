// diag_test_util.h — what the table write and read tests share: frames made
// and undone by the modem simulator's own HDLC code (written apart from the
// tool's, so the tool's framing is not checked against itself), the modem's
// write replies, table files and the fixture that resets the scripted
// transport and the log.
#ifndef TESSEL_TESTS_MBIM_COMMANDS_DIAG_TEST_UTIL_H_
#define TESSEL_TESTS_MBIM_COMMANDS_DIAG_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command_fixture.h"
#include "fake_transport.h"
#include "modem_sim/hdlc.h"
#include "temp_table_file.h"

namespace diag_test {

using command_test::info_of;
using fake_transport::command_done;
using table_file::pattern;
using table_file::TableFile;
using DiagTransfer = command_test::CommandTest;

// A request's frame decoded as the modem decodes it: its FCS checked and
// dropped with the flag. A frame the modem would refuse fails the test.
inline std::vector<uint8_t> unframe(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> raw;
  std::string why;
  if (tessel::sim::hdlc_unframe(frame.data(), frame.size(), &raw, &why) != 0) {
    ADD_FAILURE() << "the modem refuses the frame: " << why;
  }
  return raw;
}

// A framed reply: raw bytes, their FCS low byte first, escaped, closing flag.
inline std::vector<uint8_t> frame(const std::vector<uint8_t>& raw) { return tessel::sim::hdlc_frame(raw); }

inline const std::vector<uint8_t> kSignature = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00,
                                                0x00, 0x0E, 0x00, 0x02, 0x00, 0xFD, 0xFF};

inline fake_transport::Reply write_ok() {
  std::vector<uint8_t> raw = kSignature;
  raw.push_back(0x00);
  raw.push_back(0x00);
  return {{}, command_done(1, 0, frame(raw))};
}

inline fake_transport::Reply write_bad_signature() {
  std::vector<uint8_t> raw = kSignature;
  raw[8] = 0x0F;
  raw.push_back(0x00);
  return {{}, command_done(1, 0, frame(raw))};
}

inline fake_transport::Reply busy() { return {{}, command_done(1, 1, {})}; }

}  // namespace diag_test

#endif  // TESSEL_TESTS_MBIM_COMMANDS_DIAG_TEST_UTIL_H_

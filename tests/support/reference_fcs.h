// reference_fcs.h — the FCS-16 of RFC 1662 (CRC-16/X-25), one bit at a time,
// straight from the polynomial.
//
// The tests' own reference, written apart from both the tool's framing and
// the simulator's: a test that checks either against it does not repeat the
// code under test.
#ifndef TESSEL_TESTS_SUPPORT_REFERENCE_FCS_H_
#define TESSEL_TESTS_SUPPORT_REFERENCE_FCS_H_

#include <cstdint>
#include <vector>

inline uint16_t reference_fcs(const std::vector<uint8_t>& bytes) {
  uint16_t reg = 0xFFFF;
  for (uint8_t b : bytes) {
    reg ^= b;
    for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) ? (reg >> 1) ^ 0x8408 : reg >> 1;
  }
  return static_cast<uint16_t>(~reg);
}

#endif  // TESSEL_TESTS_SUPPORT_REFERENCE_FCS_H_

// byte_order.h — words read and written byte by byte, in either order.
//
// MBIM words, the MD5 message block and its length are little-endian; the
// vendor's SAR item number travels big-endian. Words inside received
// messages are not aligned. Reading them through these helpers is correct
// on any host and alignment, the 32-bit ARM target included. The bounded forms refuse a field that does
// not lie wholly inside the bytes actually held, so a length or offset that a
// peer sends can never carry a read past the buffer.
#ifndef TESSEL_BYTE_ORDER_BYTE_ORDER_H_
#define TESSEL_BYTE_ORDER_BYTE_ORDER_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

inline uint16_t get_le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

inline uint32_t get_le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void put_le16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

inline void put_le32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint32_t get_be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

inline void put_be32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

// True when [offset, offset + width) lies inside [0, held); never overflows.
inline bool field_inside(size_t held, size_t offset, size_t width) {
  return offset <= held && width <= held - offset;
}

// Reads the word at `offset` when it lies inside the `held` bytes at `base`.
inline bool read_le32(const uint8_t* base, size_t held, size_t offset, uint32_t* out) {
  if (!field_inside(held, offset, 4)) return false;
  *out = get_le32(base + offset);
  return true;
}

inline bool read_le16(const uint8_t* base, size_t held, size_t offset, uint16_t* out) {
  if (!field_inside(held, offset, 2)) return false;
  *out = get_le16(base + offset);
  return true;
}

}  // namespace tessel

#endif  // TESSEL_BYTE_ORDER_BYTE_ORDER_H_

// diag_frame.cpp — see diag_frame.h.
#include "mbim_format/diag_frame.h"

#include <array>

#include "diag_log/diag_log.h"
#include "mbim_format/protocol_log.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

constexpr uint8_t kFlag = 0x7E;
constexpr uint8_t kEscape = 0x7D;
constexpr uint8_t kEscapeXor = 0x20;
constexpr uint8_t kEscapedFlag = kFlag ^ kEscapeXor;      // 0x5E
constexpr uint8_t kEscapedEscape = kEscape ^ kEscapeXor;  // 0x5D

// Two FCS bytes, each at worst an escape pair, and the flag.
constexpr size_t kMinFrameLength = 5;

constexpr uint16_t kFcsInit = 0xFFFF;
constexpr uint16_t kFcsPoly = 0x8408;  // 0x1021 reflected

// Slicing-by-8: table[k][x] is the register change made by byte x followed by
// k zero bytes, so eight bytes cost eight independent lookups instead of a
// chain of eight dependent ones. table[0] is RFC 1662's fcstab.
using FcsTables = std::array<std::array<uint16_t, 256>, 8>;

constexpr FcsTables make_fcs_tables() {
  FcsTables t{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned v = i;
    for (int bit = 0; bit < 8; ++bit) v = (v & 1) ? (v >> 1) ^ kFcsPoly : v >> 1;
    t[0][i] = static_cast<uint16_t>(v);
  }
  for (size_t k = 1; k < t.size(); ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      const uint16_t prev = t[k - 1][i];
      t[k][i] = static_cast<uint16_t>((prev >> 8) ^ t[0][prev & 0xFF]);
    }
  }
  return t;
}

constexpr FcsTables kFcsTables = make_fcs_tables();
static_assert(kFcsTables[0][0] == 0x0000 && kFcsTables[0][1] == 0x1189 &&
                  kFcsTables[0][2] == 0x2312 && kFcsTables[0][3] == 0x329B &&
                  kFcsTables[0][255] == 0x0F78,
              "fcstab must be RFC 1662's");

constexpr uint16_t fcs_step(uint16_t reg, uint8_t b) {
  return static_cast<uint16_t>(kFcsTables[0][(reg ^ b) & 0xFF] ^ (reg >> 8));
}

constexpr uint16_t fcs_of_text(const char* s, size_t n) {
  uint16_t reg = kFcsInit;
  for (size_t i = 0; i < n; ++i) reg = fcs_step(reg, static_cast<uint8_t>(s[i]));
  return static_cast<uint16_t>(~reg);
}
static_assert(fcs_of_text("123456789", 9) == 0x906E, "CRC-16/X-25 check value");

inline bool needs_escape(uint8_t b) { return b == kFlag || b == kEscape; }

// Decodes the FCS byte whose encoding ends just before frame[end], reading
// backwards. On success stores the byte and where its encoding starts. A raw
// 0x7E or 0x7D there is refused: a sender always escapes them, so such a byte
// is a flag inside the frame or an escape cut off by what follows it.
bool fcs_byte_before(const uint8_t* frame, size_t end, uint8_t* value, size_t* start) {
  if (end == 0) return false;
  const uint8_t last = frame[end - 1];
  if (end >= 2 && frame[end - 2] == kEscape && (last == kEscapedFlag || last == kEscapedEscape)) {
    *value = static_cast<uint8_t>(last ^ kEscapeXor);
    *start = end - 2;
    return true;
  }
  if (needs_escape(last)) return false;
  *value = last;
  *start = end - 1;
  return true;
}

int malformed(size_t length) {
  LOG_NUM(LOG_ERROR, "[tessel] diag: malformed frame, length %d.", length);
  return -1;
}

}  // namespace

uint16_t diag_crc16(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr) return static_cast<uint16_t>(~kFcsInit);
  const auto& t = kFcsTables;
  uint32_t reg = kFcsInit;
  const uint8_t* p = bytes;
  for (; length >= 8; length -= 8, p += 8) {
    // The 16-bit register meets only the first two of the eight bytes.
    const uint32_t head = reg ^ (uint32_t(p[0]) | uint32_t(p[1]) << 8);
    reg = t[7][head & 0xFF] ^ t[6][head >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; length > 0; --length, ++p) reg = t[0][(reg ^ *p) & 0xFF] ^ (reg >> 8);
  return static_cast<uint16_t>(~reg);
}

size_t diag_frame(const uint8_t* raw, size_t raw_length, uint8_t* out) {
  if (out == nullptr || (raw == nullptr && raw_length != 0)) return 0;
  uint8_t* w = out;
  for (size_t i = 0; i < raw_length; ++i) {
    const uint8_t b = raw[i];
    if (needs_escape(b)) {
      *w++ = kEscape;
      *w++ = static_cast<uint8_t>(b ^ kEscapeXor);
    } else {
      *w++ = b;
    }
  }
  *w++ = kFlag;
  return static_cast<size_t>(w - out);
}

int diag_unframe(const uint8_t* frame, size_t length, uint8_t* out, size_t out_capacity,
                 size_t* out_length) {
  if (out_length != nullptr) *out_length = 0;
  if (frame == nullptr || length < kMinFrameLength) return malformed(length);

  // The FCS sits just before the flag, high byte last; the data is whatever
  // precedes the low byte's encoding.
  uint8_t high = 0;
  uint8_t low = 0;
  size_t high_at = 0;
  size_t data_end = 0;
  if (!fcs_byte_before(frame, length - 1, &high, &high_at) ||
      !fcs_byte_before(frame, high_at, &low, &data_end)) {
    return malformed(length);
  }

  uint16_t reg = kFcsInit;
  size_t n = 0;
  for (size_t i = 0; i < data_end; ++i) {
    uint8_t b = frame[i];
    if (b == kEscape && i + 1 < data_end &&
        (frame[i + 1] == kEscapedFlag || frame[i + 1] == kEscapedEscape)) {
      b = static_cast<uint8_t>(frame[++i] ^ kEscapeXor);
    }
    if (out != nullptr) {
      if (n == out_capacity) {
        LOG_NUM(LOG_ERROR, "[tessel] diag: frame exceeds buffer of %d bytes.", out_capacity);
        return -1;
      }
      out[n] = b;
    }
    ++n;
    reg = fcs_step(reg, b);
  }
  if (out_length != nullptr) *out_length = n;

  const uint16_t computed = static_cast<uint16_t>(~reg);
  const uint16_t received = static_cast<uint16_t>(low | high << 8);
  if (computed != received) {
    LOG_NUM(LOG_NORMAL, "[tessel] diag: crc mismatch. expected: %x, sent %x.", computed, received);
    return -1;
  }
  return 0;
}

}  // namespace tessel

// hdlc.cpp — FCS-16, escaping and unescaping of DIAG frames.
#include "modem_sim/hdlc.h"

#include <array>
#include <cstdio>

namespace tessel::sim {
namespace {

constexpr uint16_t kFcsInit = 0xFFFF;
constexpr uint16_t kFcsPolynomial = 0x8408;  // 0x1021 bit-reversed
constexpr size_t kFcsSize = 2;

std::string format(const char* fmt, unsigned a, unsigned b = 0) {
  std::array<char, 128> text{};
  std::snprintf(text.data(), text.size(), fmt, a, b);
  return text.data();
}

void append_escaped(std::vector<uint8_t>* out, uint8_t b) {
  if (b == kHdlcFlag || b == kHdlcEscape) {
    out->push_back(kHdlcEscape);
    out->push_back(static_cast<uint8_t>(b ^ kHdlcEscapeXor));
  } else {
    out->push_back(b);
  }
}

}  // namespace

uint16_t fcs16(const uint8_t* bytes, size_t length) {
  uint16_t reg = kFcsInit;
  for (size_t i = 0; i < length; ++i) {
    reg = static_cast<uint16_t>(reg ^ bytes[i]);
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 1) != 0 ? static_cast<uint16_t>((reg >> 1) ^ kFcsPolynomial)
                           : static_cast<uint16_t>(reg >> 1);
    }
  }
  return static_cast<uint16_t>(~reg);
}

int hdlc_unframe(const uint8_t* frame, size_t length, std::vector<uint8_t>* packet,
                 std::string* why) {
  packet->clear();
  if (length == 0) {
    *why = "empty frame";
    return -1;
  }
  if (frame[length - 1] != kHdlcFlag) {
    *why = format("frame does not end with the flag 7e (last byte %02x)", frame[length - 1]);
    return -1;
  }
  const size_t body = length - 1;
  for (size_t i = 0; i < body; ++i) {
    uint8_t b = frame[i];
    if (b == kHdlcFlag) {
      *why = format("flag byte 7e inside the frame at offset %u of %u", unsigned(i),
                    unsigned(length));
      return -1;
    }
    if (b != kHdlcEscape) {
      packet->push_back(b);
      continue;
    }
    if (i + 1 >= body) {
      *why = "escape byte 7d right before the closing flag";
      return -1;
    }
    if (frame[i + 1] == kHdlcFlag) {
      *why = format("abort sequence 7d 7e at offset %u", unsigned(i));
      return -1;
    }
    // A receiver undoes the escape of any byte, as RFC 1662 says; the DIAG
    // sender only ever escapes 7d and 7e.
    packet->push_back(static_cast<uint8_t>(frame[++i] ^ kHdlcEscapeXor));
  }
  if (packet->size() < kFcsSize) {
    *why = format("frame of %u unescaped bytes cannot hold its FCS", unsigned(packet->size()));
    return -1;
  }
  size_t data = packet->size() - kFcsSize;
  uint16_t received = static_cast<uint16_t>((*packet)[data] | (*packet)[data + 1] << 8);
  uint16_t computed = fcs16(packet->data(), data);
  if (received != computed) {
    *why = format("FCS mismatch: computed %04x, received %04x", computed, received);
    return -1;
  }
  packet->resize(data);
  return 0;
}

std::vector<uint8_t> hdlc_escape(const std::vector<uint8_t>& packet_and_fcs) {
  std::vector<uint8_t> frame;
  frame.reserve(2 * packet_and_fcs.size() + 1);
  for (uint8_t b : packet_and_fcs) append_escaped(&frame, b);
  frame.push_back(kHdlcFlag);
  return frame;
}

std::vector<uint8_t> hdlc_frame(const std::vector<uint8_t>& packet) {
  const uint16_t fcs = fcs16(packet.data(), packet.size());
  std::vector<uint8_t> with_fcs;
  with_fcs.reserve(packet.size() + kFcsSize);
  with_fcs.assign(packet.begin(), packet.end());
  with_fcs.push_back(static_cast<uint8_t>(fcs & 0xFF));
  with_fcs.push_back(static_cast<uint8_t>(fcs >> 8));
  return hdlc_escape(with_fcs);
}

}  // namespace tessel::sim

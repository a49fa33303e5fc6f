// fuzz_unframe.cpp — DIAG frame decoding (diag_unframe) of whatever a reply
// carries, and framing followed by decoding.
//
// Input: byte 0 is a signed offset d; the rest is taken both as a received
// frame and as a raw packet.
//
// As a frame it is decoded without an out buffer (with and without a count)
// and into an exact heap block of n + d bytes, n being the count the first
// decoding gave (at least 0), so every capacity around the exact fit is
// tried. The decodings must agree: the same result and count whenever the
// buffer is large enough, -1 and a count of 0 when it is not, and the same
// bytes whatever the capacity.
//
// As a raw packet, with its FCS appended low byte first, it is framed
// (diag_frame, into an exact block of the worst-case size) and decoded back:
// the packet must come out exactly, and the FCS must check. Frames shorter
// than 5 bytes are refused by design and must be.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mbim_format/diag_frame.h"

namespace {

using tessel::diag_unframe;

void decode_as_frame(const uint8_t* frame, size_t length, int d) {
  size_t n = 99;
  const int plain = diag_unframe(frame, length, nullptr, 0, &n);
  if (diag_unframe(frame, length, nullptr, 0, nullptr) != plain) __builtin_trap();

  const long wanted = static_cast<long>(n) + d;
  const size_t capacity = wanted > 0 ? static_cast<size_t>(wanted) : 0;
  std::unique_ptr<uint8_t[]> out(new uint8_t[capacity]);
  size_t count = 99;
  const int into = diag_unframe(frame, length, out.get(), capacity, &count);
  if (capacity >= n) {
    if (into != plain || count != n) __builtin_trap();
  } else if (into != -1 || count != 0) {
    __builtin_trap();
  }

  // The bytes do not depend on the room given, only on the frame.
  if (capacity >= n && n > 0) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[n]);
    size_t again = 0;
    diag_unframe(frame, length, exact.get(), n, &again);
    if (again != n || std::memcmp(exact.get(), out.get(), n) != 0) __builtin_trap();
  }
}

void frame_and_back(const uint8_t* raw, size_t length) {
  std::vector<uint8_t> packet(raw, raw + length);
  const uint16_t fcs = tessel::diag_crc16(raw, length);
  packet.push_back(static_cast<uint8_t>(fcs));
  packet.push_back(static_cast<uint8_t>(fcs >> 8));

  const size_t room = tessel::diag_frame_capacity(packet.size());
  std::unique_ptr<uint8_t[]> frame(new uint8_t[room]);
  const size_t framed = tessel::diag_frame(packet.data(), packet.size(), frame.get());
  if (framed < packet.size() + 1 || framed > room || frame[framed - 1] != 0x7E) __builtin_trap();

  std::unique_ptr<uint8_t[]> out(new uint8_t[length]);
  size_t count = 99;
  const int result = diag_unframe(frame.get(), framed, out.get(), length, &count);
  if (framed < 5) {
    if (result != -1) __builtin_trap();
    return;
  }
  if (result != 0 || count != length) __builtin_trap();
  if (length > 0 && std::memcmp(out.get(), raw, length) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int d = static_cast<int8_t>(data[0]);
  decode_as_frame(data + 1, size - 1, d);
  frame_and_back(data + 1, size - 1);
  return 0;
}

// diag_packets.cpp — reading DIAG table requests and building the replies.
#include "modem_sim/diag_packets.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "byte_order/byte_order.h"

namespace tessel::sim {
namespace {

constexpr std::array<uint8_t, 4> kDiagCommand = {0x4B, 0x0B, 0x24, 0x00};
constexpr size_t kOperationOffset = 4;
constexpr uint16_t kOperationWrite = 0x0278;
constexpr uint16_t kOperationRead = 0x0277;
constexpr size_t kReservedOffset = 6;  // two zero words, bytes 6 to 9
constexpr size_t kReservedSize = 4;

constexpr size_t kWriteItemOffset = 10;
constexpr size_t kWriteLengthOffset = 12;
constexpr size_t kWriteFlagOffset = 14;
constexpr size_t kWriteDataOffset = 15;

constexpr size_t kReadMarkerOffset = 10;
constexpr uint16_t kReadMarker = 0xFFFD;
constexpr size_t kReadOffsetOffset = 12;
constexpr size_t kReadPacketSize = 14;

// Byte 8 of a reply header is the one --bad-signature spoils.
constexpr std::array<uint8_t, 14> kReadReplyHeader = {0x4B, 0x0B, 0x24, 0x00, 0x77,
                                                      0x02, 0x00, 0x00, 0x0E, 0x00,
                                                      0x02, 0x00, 0xFD, 0xFF};
constexpr size_t kSignatureByte = 8;
constexpr uint8_t kBadSignatureValue = 0x0F;
constexpr size_t kReplyCountOffset = 14;
constexpr size_t kReplyRemainingOffset = 16;
constexpr size_t kReplyDataOffset = 20;

std::string describe(const char* fmt, unsigned a, unsigned b = 0) {
  std::array<char, 160> text{};
  std::snprintf(text.data(), text.size(), fmt, a, b);
  return text.data();
}

}  // namespace

int parse_diag_request(const std::vector<uint8_t>& packet, DiagRequest* out, std::string* why) {
  *out = DiagRequest{};
  const uint8_t* p = packet.data();
  const size_t n = packet.size();
  if (n < kReservedOffset + kReservedSize) {
    *why = describe("packet of %u bytes is too short for a DIAG table request", unsigned(n));
    return -1;
  }
  for (size_t i = 0; i < kDiagCommand.size(); ++i) {
    if (p[i] != kDiagCommand[i]) {
      *why = describe("not a DIAG 4b 0b 24 00 packet (byte %u is %02x)", unsigned(i), p[i]);
      return -1;
    }
  }
  for (size_t i = kReservedOffset; i < kReservedOffset + kReservedSize; ++i) {
    if (p[i] != 0) {
      *why = describe("reserved byte %u is %02x, not 00", unsigned(i), p[i]);
      return -1;
    }
  }
  const uint16_t operation = get_le16(p + kOperationOffset);
  if (operation == kOperationWrite) {
    if (n < kWriteDataOffset) {
      *why = describe("write packet of %u bytes is shorter than its header", unsigned(n));
      return -1;
    }
    out->operation = DiagOperation::kWrite;
    out->item = get_le16(p + kWriteItemOffset);
    out->flag = p[kWriteFlagOffset];
    const uint16_t chunk = get_le16(p + kWriteLengthOffset);
    if (chunk != n - kWriteDataOffset) {
      *why = describe("write chunk length field says %u bytes but %u follow", chunk,
                      unsigned(n - kWriteDataOffset));
      return -1;
    }
    if (out->flag > 1) {
      *why = describe("write flag is %u, neither 0 (first chunk) nor 1", out->flag);
      return -1;
    }
    out->data = p + kWriteDataOffset;
    out->data_length = chunk;
    return 0;
  }
  if (operation == kOperationRead) {
    if (n != kReadPacketSize) {
      *why = describe("read packet of %u bytes, expected %u", unsigned(n),
                      unsigned(kReadPacketSize));
      return -1;
    }
    if (get_le16(p + kReadMarkerOffset) != kReadMarker) {
      *why = describe("read packet carries %04x at byte 10, expected fffd",
                      get_le16(p + kReadMarkerOffset));
      return -1;
    }
    out->operation = DiagOperation::kRead;
    out->offset = get_le16(p + kReadOffsetOffset);
    return 0;
  }
  *why = describe("unknown DIAG operation %04x", operation);
  return -1;
}

std::vector<uint8_t> diag_write_reply(bool bad_signature) {
  std::vector<uint8_t> reply(kDiagWriteReplyHeader.begin(), kDiagWriteReplyHeader.end());
  if (bad_signature) reply[kSignatureByte] = kBadSignatureValue;
  reply.push_back(0x00);  // status: done
  reply.push_back(0x00);
  return reply;
}

std::vector<uint8_t> diag_read_reply(const uint8_t* data, uint16_t count, uint16_t remaining) {
  std::vector<uint8_t> reply(kReplyDataOffset + count, 0);
  std::copy(kReadReplyHeader.begin(), kReadReplyHeader.end(), reply.begin());
  put_le16(&reply[kReplyCountOffset], count);
  put_le16(&reply[kReplyRemainingOffset], remaining);
  if (count > 0) std::copy(data, data + count, reply.begin() + kReplyDataOffset);
  return reply;
}

}  // namespace tessel::sim

// diag_request.cpp — see diag_request.h.
#include "mbim_format/diag_request.h"

#include <cstring>

#include "byte_order/byte_order.h"

namespace tessel {

bool build_write_packet(DiagPacket* packet, int item, bool first, const uint8_t* chunk, size_t n) {
  uint8_t* const p = packet->bytes.data();
  packet->length = 0;
  if (chunk == nullptr || n == 0 || n > kDiagChunkSize) return false;
  std::memcpy(p, kDiagWriteHeader, kDiagHeaderSize);
  put_le16(p + kDiagReservedOffset, 0);
  put_le16(p + kDiagItemOffset, static_cast<uint16_t>(item));
  put_le16(p + kDiagChunkLengthOffset, static_cast<uint16_t>(n));
  p[kDiagChunkFlagOffset] = first ? kDiagFirstChunk : kDiagLaterChunk;
  std::memcpy(p + kDiagChunkOffset, chunk, n);
  put_le16(p + kDiagChunkOffset + n, diag_crc16(p, kDiagChunkOffset + n));
  packet->length = kDiagChunkOffset + n + kDiagFcsSize;
  return true;
}

void build_read_packet(DiagPacket* packet, uint16_t offset) {
  uint8_t* const p = packet->bytes.data();
  std::memcpy(p, kDiagReadHeader, kDiagHeaderSize);
  put_le16(p + kDiagReservedOffset, 0);
  put_le16(p + kDiagReadTagOffset, kDiagReadTag);
  put_le16(p + kDiagReadOffsetOffset, offset);
  put_le16(p + kDiagReadFcsOffset, diag_crc16(p, kDiagReadFcsOffset));
  packet->length = kDiagReadPacketSize;
}

}  // namespace tessel

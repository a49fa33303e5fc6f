// diag_packet.h — the raw DIAG packets of the SAR table transfer, before HDLC
// framing (diag_frame.h) and after unframing.
//
// Offsets from the first byte of the raw packet; 16-bit fields little-endian.
//
// Write packet, 17 + n bytes for a chunk of n (1..1024) table bytes:
//    0  4B 0B 24 00   command code, subsystem, subsystem command 0x0024
//    4  78 02         write operation 0x0278
//    6  00 00         8  00 00
//   10  item number, its low 16 bits
//   12  n, the chunk length
//   14  0 for the chunk at file offset 0, 1 for every later one (one byte)
//   15  the chunk's n bytes
//   15 + n  FCS over bytes 0 .. 14 + n
// Read packet, 16 bytes:
//    0  4B 0B 24 00   4  77 02 (read operation 0x0277)   6  00 00   8  00 00
//   10  FD FF
//   12  running offset: table bytes received so far
//   14  FCS over bytes 0 .. 13
// Write reply, as received (escaped; none of these bytes needs escaping):
//    0  4B 0B 24 00 78 02 00 00 0E 00 02 00 FD FF   the signature checked
// Read reply, unframed:
//    0  14 bytes not examined
//   14  BytesReadLen: table bytes in this reply
//   16  BytesRemainingLen: table bytes still to come
//   18  2 bytes not examined
//   20  the table bytes
#ifndef TESSEL_MBIM_FORMAT_DIAG_PACKET_H_
#define TESSEL_MBIM_FORMAT_DIAG_PACKET_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// The eight bytes both requests begin with, by operation.
constexpr uint8_t kDiagWriteHeader[] = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00};
constexpr uint8_t kDiagReadHeader[] = {0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00};
constexpr size_t kDiagHeaderSize = sizeof kDiagWriteHeader;

// Write packet.
constexpr size_t kDiagChunkSize = 1024;  // the most table bytes one packet carries
constexpr size_t kDiagReservedOffset = 8;
constexpr size_t kDiagItemOffset = 10;
constexpr size_t kDiagChunkLengthOffset = 12;
constexpr size_t kDiagChunkFlagOffset = 14;
constexpr size_t kDiagChunkOffset = 15;  // also the bytes before the chunk
constexpr uint8_t kDiagFirstChunk = 0;
constexpr uint8_t kDiagLaterChunk = 1;
constexpr size_t kDiagFcsSize = 2;
constexpr size_t kDiagMaxWritePacketSize = kDiagChunkOffset + kDiagChunkSize + kDiagFcsSize;

// Read packet.
constexpr size_t kDiagReadTagOffset = 10;
constexpr uint16_t kDiagReadTag = 0xFFFD;
constexpr size_t kDiagReadOffsetOffset = 12;
constexpr size_t kDiagReadFcsOffset = 14;
constexpr size_t kDiagReadPacketSize = 16;

// Write reply.
constexpr uint8_t kDiagWriteReplySignature[14] = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00,
                                                  0x00, 0x0E, 0x00, 0x02, 0x00, 0xFD, 0xFF};

// Read reply.
constexpr size_t kDiagBytesReadOffset = 14;
constexpr size_t kDiagBytesRemainingOffset = 16;
constexpr size_t kDiagReplyDataOffset = 20;
constexpr uint16_t kDiagMaxReadReply = 4096;  // the most BytesReadLen accepted
// The running offset travels in 16 bits, so no larger table can be read.
constexpr uint32_t kDiagMaxReadTable = 0xFFFF;

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_DIAG_PACKET_H_

// diag_request.h — the raw DIAG requests of the SAR table transfer, built
// into a packet the caller owns (layouts in diag_packet.h).
//
// Building is pure: it touches only the packet it is given, does no input or
// output and allocates nothing. A built packet is the request as it is
// framed and sent, FCS included; the sender frames the same packet again for
// every resend after BUSY, so a resend repeats it byte for byte.
#ifndef TESSEL_MBIM_FORMAT_DIAG_REQUEST_H_
#define TESSEL_MBIM_FORMAT_DIAG_REQUEST_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "mbim_format/diag_frame.h"
#include "mbim_format/diag_packet.h"

namespace tessel {

// One raw request: bytes[0, length) is the packet, FCS included.
struct DiagPacket {
  std::array<uint8_t, kDiagMaxWritePacketSize> bytes{};
  size_t length = 0;
};

static_assert(kDiagReadPacketSize <= kDiagMaxWritePacketSize, "a read packet fits the buffer");
static_assert(diag_frame_capacity(kDiagMaxWritePacketSize) == kMaxFrameSize,
              "every packet frames into a request of kMaxFrameSize");

// Builds the write packet of `n` table bytes at `chunk` for the table `item`
// (its low 16 bits are sent); `first` marks the chunk at file offset 0.
// False, with the packet emptied (length 0), when `n` is 0 or above
// kDiagChunkSize or `chunk` is null: such a chunk has no packet.
bool build_write_packet(DiagPacket* packet, int item, bool first, const uint8_t* chunk, size_t n);

// Builds the read packet asking for the table bytes from `offset` on.
void build_read_packet(DiagPacket* packet, uint16_t offset);

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_DIAG_REQUEST_H_

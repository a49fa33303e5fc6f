// diag_packets.h — the DIAG packets of the SAR table transfer, as the modem
// reads and writes them (unescaped, without FCS; hdlc.h does the framing).
//
// Write request (16-bit fields little-endian):
//   0  4B 0B 24 00       command code, subsystem, subsystem command 0x0024
//   4  78 02             write operation 0x0278
//   6  00 00 00 00       two zero words
//  10  item             low 16 bits of the item number
//  12  n                chunk length
//  14  flag             0: first chunk, the table starts afresh; 1: appended
//  15  n bytes          the chunk
// Read request:
//   0  4B 0B 24 00 77 02 00 00 00 00 FD FF   read operation 0x0277, word 0xFFFD
//  12  offset           table bytes the host has received so far
// Write reply:
//   0  4B 0B 24 00 78 02 00 00 0E 00 02 00 FD FF   the signature the host checks
//  14  00 00            status: done
// Read reply:
//   0  4B 0B 24 00 77 02 00 00 0E 00 02 00 FD FF
//  14  BytesReadLen     16  BytesRemainingLen   18  00 00   20  the table bytes
#ifndef TESSEL_TOOLS_MODEM_SIM_DIAG_PACKETS_H_
#define TESSEL_TOOLS_MODEM_SIM_DIAG_PACKETS_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel::sim {

// The write reply's signature, the bytes before its status.
constexpr std::array<uint8_t, 14> kDiagWriteReplyHeader = {0x4B, 0x0B, 0x24, 0x00, 0x78,
                                                           0x02, 0x00, 0x00, 0x0E, 0x00,
                                                           0x02, 0x00, 0xFD, 0xFF};

enum class DiagOperation { kWrite, kRead };

struct DiagRequest {
  DiagOperation operation = DiagOperation::kRead;
  // Write:
  uint16_t item = 0;
  uint8_t flag = 0;
  const uint8_t* data = nullptr;  // points into the packet parsed
  size_t data_length = 0;
  // Read:
  uint16_t offset = 0;
};

// Reads one unescaped packet. Returns 0, or -1 with the fault in `*why`:
// an unknown command or operation, non-zero reserved fields, a write whose
// chunk length disagrees with the bytes carried or whose flag is neither 0
// nor 1, a read of the wrong size or without its FD FF word.
int parse_diag_request(const std::vector<uint8_t>& packet, DiagRequest* out, std::string* why);

// The write reply; `bad_signature` puts 0x0F at byte 8 instead of 0x0E.
std::vector<uint8_t> diag_write_reply(bool bad_signature);

// The read reply carrying `count` bytes at `data`, with `remaining` to come.
std::vector<uint8_t> diag_read_reply(const uint8_t* data, uint16_t count, uint16_t remaining);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_DIAG_PACKETS_H_

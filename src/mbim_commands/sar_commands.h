// sar_commands.h — the vendor QMBE commands around a SAR table update.
//
// Service 2d0c12c9-0e6a-495a-915c-8d174fe5d63c:
//   CID 21 set    2 bytes 00 12 (DIAG-over-MBIM on) / 00 22 (off)    answer unread
//   CID 21 query  empty                                             u32 at 0
//   CID 22 set    item number, 4 bytes big-endian                   16-byte MD5
//   CID 23 set    item number's low 16 bits, big-endian             answer unread
// CID 22 only reads, yet the modem wants it as a set. CID 25, the DIAG
// packets themselves, is diag_transfer.h.
#ifndef TESSEL_MBIM_COMMANDS_SAR_COMMANDS_H_
#define TESSEL_MBIM_COMMANDS_SAR_COMMANDS_H_

#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

// The vendor service's CIDs (uuid_qmbe), one set as libmbim keeps a
// service's CIDs.
enum QmbeCid : uint32_t {
  kCidDiagOverMbimCfg = 21,  // DIAG-over-MBIM switch
  kCidSarMd5 = 22,           // the stored table's digest
  kCidSarApply = 23,         // apply the stored table
  kCidDiagPacket = 25,       // one HDLC-framed DIAG packet
};
constexpr uint32_t kApplyTimeoutSeconds = 3;

// Switches DIAG-over-MBIM on (enable non-zero) or off. The vendor SAR
// commands keep the mixed case of the entry point each serves
// (SetSarEnable, service_api.h), so a record names both alike.
Status mbim_SetSarEnable(int enable);

// Reads the switch: `*enable` (when given) becomes 1 or 0 from the answer's
// word, or stays -1 when the answer carries no data or the command fails. An
// answer shorter than 4 bytes is read from the bytes present.
Status mbim_GetSarEnable(int* enable);

// Writes the digest of the table the modem holds for `item` into `digest`,
// only from an answer of exactly 16 bytes; any other answer leaves it as it
// was and is still a success. `*read` (when given) tells the two apart: true
// only when the digest was written.
Status mbim_GetSarMd5(int item, uint8_t digest[16], bool* read = nullptr);

// Applies the table. The modem may reset while applying and never answer, so
// a wait that passes its 3-second deadline counts as success; `*answered`
// (when given) is false then, true after any answer or failure.
Status mbim_SarApply(int item, bool* answered = nullptr);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_SAR_COMMANDS_H_

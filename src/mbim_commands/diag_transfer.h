// diag_transfer.h — a SAR table moved between a file and the modem as DIAG
// packets, one per CID 25 set request of the QMBE service, HDLC-framed.
// The packets' layouts are in mbim_format/diag_packet.h: a write packet per
// chunk of at most 1024 table bytes, a read packet per reply the modem sends;
// a write reply is checked against its 14-byte signature.
//
// The modem answers BUSY (MBIM Status 1) while it is still busy with an
// earlier packet; the request is sent again after 200 ms, at most three
// times in a row. Each BUSY earns one later write reply a full check,
// because that reply may be the modem catching up rather than answering
// the chunk just sent.
#ifndef TESSEL_MBIM_COMMANDS_DIAG_TRANSFER_H_
#define TESSEL_MBIM_COMMANDS_DIAG_TRANSFER_H_

#include <cstddef>
#include <cstdint>

#include "mbim_format/result_codes.h"

namespace tessel {

constexpr size_t kDiagChunkSize = 1024;
constexpr size_t kDiagPacketSize = 2048;
constexpr int kMaxBusyRetries = 3;
constexpr unsigned kBusyDelayMicroseconds = 200000;

// Writes the file at `path` into the modem as the table `item`, reading it
// a piece at a time (table_reader.h). Returns 0 (also for an empty file,
// which sends nothing); -1 when the file cannot be read whole, changes size
// while it is sent (the chunks already sent stay sent), or the BUSY answers
// outrun the retries; -2 when a checked reply is not a good write reply;
// else the transport's result or MBIM Status.
int mbim_SetSarValue(const char* path, int item);

// Reads the table the modem holds into `data` (`capacity` bytes) and its
// total length into `*total_length`, from the first reply. Returns 0; -1 for
// a reply with a bad FCS (or too short for what it claims) or too many BUSY
// answers; -2 when a reply claims more than 4096 bytes; -3 on the twelfth
// data reply; kErrReadOverflow; else the transport's result or MBIM Status.
int mbim_GetSarValue(uint8_t* data, size_t capacity, uint16_t* total_length);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_DIAG_TRANSFER_H_

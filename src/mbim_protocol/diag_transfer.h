// diag_transfer.h — a SAR table moved between a file and the modem as DIAG
// packets, one per CID 25 set request of the QMBE service, HDLC-framed.
//
// Raw write packet, 17 + n bytes for a chunk of n (1..1024) table bytes,
// 16-bit fields little-endian:
//    0 4B  1 0B  2 24 00  4 78 02 (write)  6 00 00  8 00 00
//   10 item number, low 16 bits   12 n   14 0 first chunk / 1 later ones
//   15 the chunk                  15+n FCS over bytes 0..14+n
// Raw read packet, 16 bytes:
//    0 4B  1 0B  2 24 00  4 77 02 (read)  6 00 00  8 00 00  10 FD FF
//   12 running offset (table bytes received so far)   14 FCS
// Write reply: longer than 14 bytes, beginning (as received, escaped)
//    4B 0B 24 00 78 02 00 00 0E 00 02 00 FD FF
// Read reply, unframed: 14 BytesReadLen, 16 BytesRemainingLen, 20 the data.
//
// The modem answers BUSY (MBIM Status 1) while it is still busy with an
// earlier packet; the request is sent again after 200 ms, at most three
// times in a row. Each BUSY earns one later write reply a full check,
// because that reply may be the modem catching up rather than answering
// the chunk just sent.
#ifndef TESSEL_MBIM_PROTOCOL_DIAG_TRANSFER_H_
#define TESSEL_MBIM_PROTOCOL_DIAG_TRANSFER_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr size_t kDiagChunkSize = 1024;
constexpr size_t kDiagPacketSize = 2048;
constexpr int kMaxBusyRetries = 3;
constexpr unsigned kBusyDelayMicroseconds = 200000;
// mbim_GetSarValue: the caller's buffer cannot take the next reply, or the
// 16-bit running offset would pass 65535.
constexpr int kErrReadOverflow = -4;

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

#endif  // TESSEL_MBIM_PROTOCOL_DIAG_TRANSFER_H_

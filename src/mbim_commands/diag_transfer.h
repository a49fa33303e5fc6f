// diag_transfer.h — a SAR table moved between a file and the modem as DIAG
// packets, one per CID 25 set request of the QMBE service, HDLC-framed.
// The packets' layouts are in mbim_format/diag_packet.h: a write packet per
// chunk of at most 1024 table bytes, a read packet per reply the modem sends.
//
// The modem answers BUSY (MBIM Status 1) while it is still busy with an
// earlier packet; the request is sent again after 200 ms, at most three
// times in a row (diag_exchange.h). A write reply is not examined unless a
// BUSY came before it: each BUSY earns one later write reply a full check
// (its FCS, then its 14-byte signature), because that reply may be the
// modem catching up rather than answering the chunk just sent.
#ifndef TESSEL_MBIM_COMMANDS_DIAG_TRANSFER_H_
#define TESSEL_MBIM_COMMANDS_DIAG_TRANSFER_H_

#include <cstddef>
#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

// Writes the file at `path` into the modem as the table `item`, reading it
// a piece at a time (table_file.h). When `expected_md5` is given, the
// bytes read for sending are hashed as they go, and the last chunk is sent
// only when they hash to it: a file rewritten in place during the transfer
// must not be stored as a mix of old and new, nor applied.
// Returns ok (also for an empty file, which sends nothing);
// kFileUnreadable, with errno, when the file cannot be read whole or changes
// size while it is sent (the chunks already sent stay sent); kTransfer when
// the BUSY answers outrun the retries; kBadReply when a checked reply is not
// a good write reply; kTableChanged when the bytes do not hash to
// `expected_md5`; kStopped when a stop signal arrived (checked between
// chunks); else the exchange's failure or the modem's refusal.
Status mbim_SetSarValue(const char* path, int item, const uint8_t* expected_md5 = nullptr);

// How far a table write has got: `sent` of `total` bytes, told before the
// first chunk (0) and after the modem took each one, then once more with
// `ended` set when the write ends, however it ends. It runs on the writing
// thread between two exchanges, so whatever it costs, each chunk waits for.
using TableProgress = void (*)(void* context, size_t sent, size_t total, bool ended);

// The one receiver of every later write's progress; null: none (the start).
void set_table_progress(TableProgress report, void* context);

// Reads the table the modem holds into `data` (`capacity` bytes; null means
// none) in as many replies as the modem sends. The first reply's
// BytesReadLen + BytesRemainingLen is the table's size: it goes to
// `*total_length` (when given) as soon as that reply is in, if it is at most
// 65535; a larger size, or one above `capacity`, is refused before anything
// is copied. Every later reply must bring at least one byte, no more than
// are left, and announce the same size (its BytesReadLen + BytesRemainingLen
// is what is left); the read ends with the reply whose BytesRemainingLen is
// 0, however many came before it, with exactly the announced size copied.
// The read packet is resent after BUSY with the offset unchanged.
// Returns ok; kTransfer for a reply with a bad FCS or too short for what it
// claims, or too many BUSY answers; kBadReply for a reply that claims more
// than 4096 bytes, brings no byte or more than are left, or announces
// another size; kReadOverflow for a table larger than 65535 bytes or than
// `capacity`; kStopped when a stop signal arrived (checked between replies);
// else the exchange's failure or the modem's refusal.
// On failure `data` may hold the bytes of the replies before.
Status mbim_GetSarValue(uint8_t* data, size_t capacity, uint16_t* total_length);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_DIAG_TRANSFER_H_

// hostile_pieces.h — what a --hostile burst is made of: random and malformed
// messages, grouped into transfers, for one request.
//
// The pieces:
//   bad header   a 12-byte header whose MessageLength is 0, 5, 11, 12,
//                100000, more than the piece holds, or (pty) any 32-bit value
//   random       random bytes
//   wrong type   a message carrying the request's TransactionId that cannot
//                answer it: MBIM_OPEN_DONE, MBIM_CLOSE_DONE, an indication of
//                the request's service and CID, a host error, the request
//                itself echoed back
//   cut short    the answer's own message type with the request's
//                TransactionId, cut: (pty) a transfer that ends before its
//                MessageLength does, or a MessageLength below the smallest
//                such message (12..47 for MBIM_COMMAND_DONE, 12..15 for the
//                16-byte messages). Only the second kind can reach a receiver
//                as a whole message: it is "answer-like", and a receiver that
//                takes it for the answer must fail the exchange.
//   lying done   an MBIM_COMMAND_DONE of the request's service and CID, for
//                another TransactionId, whose InformationBufferLength lies
//   bad FCS      (CID 25 only) a DIAG write reply, another TransactionId,
//                whose frame fails its FCS
//   AT reply     an AT tunnel answer of random length, up to beyond the
//                4096-byte receive buffer, another TransactionId
//   noise        a signal-state indication, or an answer to another
//                TransactionId
// Every burst opens with a bad header a receiver cannot use (MessageLength
// below 12, or 4096 and more, so it is dropped or skipped and logged), holds
// at least one wrong-type piece (in a transfer and a write of its own, so a
// receiver reads it whole) and ends with a noise piece of its own. One burst
// in eight holds one answer-like piece. No other piece carries the request's
// TransactionId, and none is an answer a receiver could not tell from the
// real one.
//
// Framing. On a pty (one transfer per read) a piece whose MessageLength is
// below 12 or claims more than it holds always ends its transfer, so it
// neither drops nor swallows what follows. On a byte stream every piece
// keeps the stream in step for a receiver that honours MessageLength: a
// claim of more bytes is followed by random filler up to its MessageLength,
// random bytes carry a MessageLength of their own, and a piece whose
// MessageLength is below 12 (which no receiver can step over, so it drops
// what it holds) travels alone, in one write.
#ifndef TESSEL_TOOLS_MODEM_SIM_HOSTILE_PIECES_H_
#define TESSEL_TOOLS_MODEM_SIM_HOSTILE_PIECES_H_

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace tessel::sim {

// One transfer: its bytes and the sizes of the write() calls that send them.
struct HostileTransfer {
  std::vector<uint8_t> bytes;
  std::vector<size_t> writes;  // in order; they add up to bytes.size()
  bool whole_write = false;    // one piece, sent in one write
  bool drops = false;          // (stream) that piece makes the receiver drop what it holds
};

struct HostileBurst {
  std::vector<HostileTransfer> transfers;
  uint32_t pieces = 0;
  uint32_t claiming = 0;     // pieces carrying the request's TransactionId
  uint32_t answer_like = 0;  // of those, the ones a receiver may take for the answer
};

// The burst of `pieces` pieces (at least 2) for `request`, a whole message
// of `length` bytes. `stream`: the client reads a byte stream. Everything
// is drawn from `random`, so one seed gives one burst.
HostileBurst hostile_burst(const uint8_t* request, size_t length, uint32_t pieces, bool stream,
                           std::mt19937* random);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_HOSTILE_PIECES_H_

// fake_modem.h — the modem's answers, taken from the fuzz input, played to a
// protocol command through the scripted transport of the tests
// (tests/support/fake_transport.h).
//
// The command targets link tessel_commands with that fake's send_and_wait
// and send_request in place of the transport's. Each call hands the command
// the next reply of the script, as the transport would: a C-allocated block
// of MessageLength + 1 bytes whose MessageLength is the block's size and
// whose TransactionId is the request's; the transport guarantees both (it
// only hands over a message it received whole, that answers the pending
// request). The extra byte carries nothing, so it is poisoned: a command
// that reads it fails under AddressSanitizer.
//
// Script: the input cut at each kReplySeparator into replies. In a reply,
// the low two bits of the first byte say what the transport does:
//   0  hands over the rest as the whole message: padded with zeros to the
//      12-byte header when shorter, MessageLength and TransactionId set;
//   1  hands over an MBIM_COMMAND_DONE built around the rest:
//        byte 1       Status (0 success, 1 BUSY, 2 FAILURE, ...)
//        bytes 2..5   a signed le32 added to the true size of what follows
//                     to give InformationBufferLength (0: the true size)
//        bytes 6..    the InformationBuffer;
//   2  fails the exchange: byte 1 picks kNoChannel, kWriteFailed or
//      kTimedOut, the transport's own failures;
//   3  hands over an MBIM_COMMAND_DONE with Status 0 and the rest as its
//      InformationBuffer, InformationBufferLength true.
// When the script runs out, nobody answers (kTimedOut).
#ifndef TESSEL_FUZZ_FAKE_MODEM_H_
#define TESSEL_FUZZ_FAKE_MODEM_H_

#include <cstddef>
#include <cstdint>

namespace fake_modem {

constexpr char kReplySeparator[] = "<NEXT>";

// Replaces the script with the replies in the `size` bytes at `data`.
void load(const uint8_t* data, size_t size);

}  // namespace fake_modem

#endif  // TESSEL_FUZZ_FAKE_MODEM_H_

// dump_message.h — in verbose mode, one MBIM message turned into log records:
// its bytes in hexadecimal, its header, and its body field by field.
//
// The transport calls this for every message it sends, just before writing
// it, and for every message the reader thread takes from the channel, with
// the transport lock held; that lock is what serialises the static buffers
// behind the hex line, the UUID text and the string text. All records are
// level 2 from "src/mbim_dump". With `verbose` 0 nothing is written at all.
//
// Records, in order:
//   "[tessel] %s"             the hex line: direction, a space, "%02X:" per byte
//   "[tessel] %s Header:"     direction (">" host to modem, "<" when the
//                             MessageType's high bit is set)
//   "[tessel] MessageLength = %u", "[tessel] MessageType =  %s" (by name, or
//   "MBIMMSGTypeUnknow"), "[tessel] TransactionId = %u",
//   "[tessel] %s Contents:", then the body of the open, open-done,
//   close-done, function-error, command, command-done and indicate-status
//   messages. Close, host error and unknown types have no body records.
// Basic-connect commands for CID 12 and 15 show their SessionId; basic-connect
// command-done and indication information buffers go to info_decoders.h.
//
// Bounds. The message comes from the modem or from any peer on the proxy
// socket and is not trusted. `held` is the number of bytes the caller holds
// at `message`; the dump reads no byte at or beyond `held`, and no field
// beyond the message's own MessageLength: the bound is min(held,
// MessageLength), or `held` when MessageLength itself is not held.
//   - The hex line covers the bytes inside the bound (at most 4095 characters).
//   - MessageType and MessageLength are read whenever they are held, since
//     they say what the message is and how long it claims to be; every other
//     field only when it lies wholly inside the bound.
//   - A field that lies outside is not printed: its record is left out, and so
//     is the direction record that introduces it ("[tessel] %s" before
//     "Status = %u" and the like). The hex line, "Header:", the MessageType
//     name and "Contents:" are always printed.
//   - Fewer than 4 bytes held (or no message): there is no MessageType, hence
//     no direction, and nothing at all is printed.
//   - An information buffer is handed on with the smaller of its
//     InformationBufferLength and the bytes inside the bound after its start;
//     the decoders never read beyond that.
#ifndef TESSEL_MBIM_DUMP_DUMP_MESSAGE_H_
#define TESSEL_MBIM_DUMP_DUMP_MESSAGE_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

void dump_message(const uint8_t* message, size_t held, int verbose);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_DUMP_MESSAGE_H_

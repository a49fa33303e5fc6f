// diag_frame.h — HDLC framing of DIAG packets carried in vendor MBIM commands.
//
// A frame is the raw packet with its 16-bit FCS appended, every 0x7E and 0x7D
// escaped as 0x7D followed by the byte XOR 0x20, and one closing 0x7E.
// A frame always holds the whole packet: framing never stops early, because a
// frame without its tail and FCS is a corrupted table write that the modem
// may still acknowledge. Nothing here allocates; callers size the output for
// the worst case (every byte escaped), see diag_frame_capacity and
// kMaxFrameSize.
#ifndef TESSEL_MBIM_FORMAT_DIAG_FRAME_H_
#define TESSEL_MBIM_FORMAT_DIAG_FRAME_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// The FCS-16 of RFC 1662 (CRC-16/X-25): register 0xFFFF, reflected
// polynomial 0x8408, ones' complement at the end. Stored in a packet low byte
// first. "123456789" gives 0x906E; no bytes give 0x0000 (`bytes` may be null
// when `length` is 0).
uint16_t diag_crc16(const uint8_t* bytes, size_t length);

// Bytes a frame of a `raw_length`-byte packet can take: every byte escaped,
// plus the closing flag.
constexpr size_t diag_frame_capacity(size_t raw_length) { return 2 * raw_length + 1; }

// The largest raw packet sent: a write packet of 15 header bytes, a chunk of
// 1024 table bytes and the 2 FCS bytes (1041 bytes), framed at worst.
constexpr size_t kMaxFrameSize = diag_frame_capacity(15 + 1024 + 2);

// Escapes the `raw_length` bytes at `raw` into `out` and appends the closing
// 0x7E; no opening flag. The packet must already end with its FCS (low byte
// first), which is escaped like the rest. `out` must hold
// diag_frame_capacity(raw_length) bytes. Returns the number of bytes written,
// the InformationBufferLength of the request; 0 (nothing written) when `out`
// is null, or `raw` is null with a non-zero length.
size_t diag_frame(const uint8_t* raw, size_t raw_length, uint8_t* out);

// Decodes a received frame (a reply's InformationBuffer, `length` its
// InformationBufferLength) and checks its FCS. Returns 0 when the FCS is
// right, -1 otherwise.
//
// The last byte, the closing flag, is not examined. The FCS is read backwards
// from the byte before it, high byte first: each FCS byte is either an escape
// pair (7D 5D gives 0x7D, 7D 5E gives 0x7E) or one byte. A 0x7D directly
// before a 0x5D or 0x5E is always taken as the start of a pair, since a 0x7D
// is never the second byte of one. Everything before the low FCS byte's
// encoding is data, decoded forwards: 7D 5E and 7D 5D as above, any other byte
// (a 0x7D followed by something else, or ending the data, included) unchanged.
//
// When `out_length` is given it is set to 0 first, then to the number of data
// bytes decoded once the whole frame was decoded, whether or not the FCS
// matches. When `out` is given the data bytes (without FCS and flag) are
// copied to it; at most `out_capacity` of them (`out_capacity` is ignored
// when `out` is null).
//
// Failures, all -1, nothing read outside the frame or written past
// out + out_capacity:
//  - FCS mismatch: logs "[tessel] diag: crc mismatch. expected: %x, sent %x."
//    (level 2) with the computed FCS, then the received one.
//  - A frame that cannot carry an FCS: null, or shorter than 5 bytes (an FCS
//    byte can take two bytes, so 5 is the longest an FCS and flag can be
//    and the shortest frame accepted); or one whose FCS bytes hold a raw
//    0x7E (a flag inside the frame) or a raw 0x7D (an escape that the flag or
//    an unescapable byte follows, which a sender never writes). Logs
//    "[tessel] diag: malformed frame, length %d." (level 8) with `length`.
//  - More data bytes than `out_capacity`: stops decoding once out is full,
//    leaves `*out_length` at 0 and logs
//    "[tessel] diag: frame exceeds buffer of %d bytes." (level 8) with
//    `out_capacity`. The first `out_capacity` bytes of out may be written.
int diag_unframe(const uint8_t* frame, size_t length, uint8_t* out, size_t out_capacity,
                 size_t* out_length);

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_DIAG_FRAME_H_

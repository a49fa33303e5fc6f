// hdlc.h — the modem's own HDLC framing of DIAG packets (RFC 1662 style).
//
// A frame is the packet with its FCS-16 appended low byte first, every 0x7E
// and 0x7D sent as 0x7D followed by the byte XOR 0x20, no opening flag and
// one closing 0x7E. This code is the simulator's alone, written apart from
// the tool's, so that a framing mistake on either side shows up as a refused
// frame instead of passing unnoticed.
#ifndef TESSEL_TOOLS_MODEM_SIM_HDLC_H_
#define TESSEL_TOOLS_MODEM_SIM_HDLC_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessel::sim {

constexpr uint8_t kHdlcFlag = 0x7E;
constexpr uint8_t kHdlcEscape = 0x7D;
constexpr uint8_t kHdlcEscapeXor = 0x20;

// FCS-16 (CRC-16/X-25): register 0xFFFF, reflected polynomial 0x8408, ones'
// complement at the end. "123456789" gives 0x906E; no bytes give 0x0000.
uint16_t fcs16(const uint8_t* bytes, size_t length);

// Decodes the `length` bytes of one received frame into `*packet` (FCS and
// flag removed). Refused, with the reason in `*why`: a frame that does not
// end with the flag, holds a flag or an abort (7D 7E) inside, ends in a lone
// escape, has fewer than 2 bytes before the flag, or whose FCS is wrong.
// Returns 0 or -1.
int hdlc_unframe(const uint8_t* frame, size_t length, std::vector<uint8_t>* packet,
                 std::string* why);

// The frame of `packet`: FCS appended, escaped, closing flag.
std::vector<uint8_t> hdlc_frame(const std::vector<uint8_t>& packet);

// The frame of bytes that already end in an FCS, right or wrong: escaped,
// closing flag. How a modem with a faulty FCS would frame its packet.
std::vector<uint8_t> hdlc_escape(const std::vector<uint8_t>& packet_and_fcs);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_HDLC_H_

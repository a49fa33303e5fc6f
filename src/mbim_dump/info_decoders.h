// info_decoders.h — the information buffers of basic-connect responses and
// indications, one log record per field, enumerated values by name.
//
// dump_message calls these in verbose mode for the basic-connect service
// only: subscriber ready (CID 2), register state (9), packet service (10),
// signal state (11, indications only), connect (12) and IP configuration (15,
// command-done only). Each takes the address of the InformationBuffer, the
// number of its bytes that may be read, and the direction text ("<").
//
// Bounds. The buffer comes from the modem or from a peer on the proxy socket,
// so nothing it claims is trusted: `info_len` must already be the smaller of
// InformationBufferLength and the bytes actually held after the buffer's
// start, and no field, string or address outside those bytes is ever read,
// whatever offsets, sizes and counts the buffer holds (offset + size
// overflowing 32 bits included). A record whose field lies outside is not
// printed; a direction record that introduces exactly one field's record
// ("[tessel] %s" before "gw = ..." and the like) goes with it. A string or
// an address is shown only when all its bytes lie inside; an IPv6 address
// and its heading ("direction:%s IPv6: ", the two halves, "prfix:%d") are
// shown or left out together. The opening "[tessel] %s" of a decoder is
// always printed. Telephone numbers stop at the first (offset, size) pair
// that lies outside, since all later pairs do.
//
// All records are level 2 from "src/mbim_dump": text through msg_sprintf, one
// number through msg_send_1, several through msg_send_var.
#ifndef TESSEL_MBIM_DUMP_INFO_DECODERS_H_
#define TESSEL_MBIM_DUMP_INFO_DECODERS_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// "%s ReadyState = %s", "%s SIMICCID = %s", "%s SubscriberID = %s", then one
// "%s Number = %s" per telephone number (ElementCount of them).
void dump_subscriber_ready(const uint8_t* info, size_t info_len, const char* direction);

// "%s", NwError, RegisterState and RegisterMode by name.
void dump_register_state(const uint8_t* info, size_t info_len, const char* direction);

// "%s", NwError, PacketServiceState, HighestAvailableDataClass by name, and
// the low words of UplinkSpeed and DownlinkSpeed as signed 32-bit numbers.
void dump_packet_service(const uint8_t* info, size_t info_len, const char* direction);

// "%s", Rssi, ErrorRate, SignalStrengthInterval, RssiThreshold,
// ErrorRateThreshold.
void dump_signal_state(const uint8_t* info, size_t info_len, const char* direction);

// "%s", SessionId, ActivationState, IPType, VoiceCallState (in that order,
// not the order of the fields), ContextType as UUID text, NwError.
void dump_connect(const uint8_t* info, size_t info_len, const char* direction);

// "%s", SessionId, six header words in hexadecimal, then the first IPv4
// address, gateway, DNS servers and MTU, and the same for IPv6, each as the
// availability flags (1 address, 2 gateway, 4 DNS) and non-zero MTUs say.
void dump_ip_configuration(const uint8_t* info, size_t info_len, const char* direction);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_INFO_DECODERS_H_

// info_decoders.cpp — the basic-connect decoders with one-word fields and
// strings; the IP configuration, which walks addresses, is in
// ip_configuration.cpp. Bounds rules in info_decoders.h. The one-word fields
// are tables (word_fields.h), each in the order its records come.
#include "mbim_dump/info_decoders.h"

#include "diag_log/diag_log.h"
#include "mbim_dump/bounded.h"
#include "mbim_dump/hex_text.h"
#include "mbim_dump/utf16_text.h"
#include "mbim_dump/value_names.h"
#include "mbim_dump/word_fields.h"

TESSEL_LOG_MODULE("src/mbim_dump");

namespace tessel {
namespace {

// Subscriber-ready status (CID 2):
//   0  ReadyState          4  SubscriberId offset    8  SubscriberId size
//  12  SimIccId offset    16  SimIccId size         20  ReadyInfo (not shown)
//  24  ElementCount       28 + 8i  number i offset  32 + 8i  number i size
constexpr size_t kReadyStateOffset = 0;
constexpr size_t kSubscriberIdPair = 4;
constexpr size_t kSimIccIdPair = 12;
constexpr size_t kElementCountOffset = 24;
constexpr size_t kFirstNumberPair = 28;
constexpr size_t kStringPairSize = 8;

// Register state (CID 9): NwError, RegisterState, RegisterMode.
constexpr WordField kRegisterState[] = {
    {0, LOG_RECORD(LOG_NORMAL, "[tessel] NwError = %u")},
    {4, LOG_RECORD(LOG_NORMAL, "[tessel] RegisterState = %s"), register_state_name},
    {8, LOG_RECORD(LOG_NORMAL, "[tessel] RegisterMode = %s"), register_mode_name},
};

// Packet service (CID 10): NwError, PacketServiceState,
// HighestAvailableDataClass, then UplinkSpeed and DownlinkSpeed, u64 each.
// The log shows a speed as the signed value of its low word: 2^31 and up
// come out negative, 2^32 as 0.
constexpr WordField kPacketService[] = {
    {0, LOG_RECORD(LOG_NORMAL, "[tessel] NwError = %u")},
    {4, LOG_RECORD(LOG_NORMAL, "[tessel] PacketServiceState = %s"), packet_service_state_name},
    {8, LOG_RECORD(LOG_NORMAL, "[tessel] HighestAvailableDataClass = %s"), data_class_name},
    {12, LOG_RECORD(LOG_NORMAL, "[tessel] UplinkSpeed = %ld")},
    {20, LOG_RECORD(LOG_NORMAL, "[tessel] DownlinkSpeed = %ld")},
};

// Signal state (CID 11).
constexpr WordField kSignalState[] = {
    {0, LOG_RECORD(LOG_NORMAL, "[tessel] Rssi = %u")},
    {4, LOG_RECORD(LOG_NORMAL, "[tessel] ErrorRate = %u")},
    {8, LOG_RECORD(LOG_NORMAL, "[tessel] SignalStrengthInterval = %u")},
    {12, LOG_RECORD(LOG_NORMAL, "[tessel] RssiThreshold = %u")},
    {16, LOG_RECORD(LOG_NORMAL, "[tessel] ErrorRateThreshold = %u")},
};

// Connect (CID 12): SessionId, ActivationState, VoiceCallState, IPType,
// ContextType (a UUID, 16 bytes at 16), NwError (at 32). The words before
// ContextType are shown in this order, IPType before VoiceCallState.
constexpr WordField kConnectWords[] = {
    {0, LOG_RECORD(LOG_NORMAL, "[tessel] SessionId = %u")},
    {4, LOG_RECORD(LOG_NORMAL, "[tessel] ActivationState = %s"), activation_state_name},
    {12, LOG_RECORD(LOG_NORMAL, "[tessel] IPType = %s"), ip_type_name},
    {8, LOG_RECORD(LOG_NORMAL, "[tessel] VoiceCallState = %s"), voice_call_state_name},
};
constexpr size_t kContextTypeOffset = 16;
constexpr size_t kContextTypeSize = 16;
constexpr size_t kConnectNwErrorOffset = 32;

static_assert(records_fit(kRegisterState) && records_fit(kPacketService) &&
              records_fit(kSignalState) && records_fit(kConnectWords));

// The text of the string whose (offset, size) pair stands at `pair`, or
// nullptr when the pair or the string lies outside the buffer.
const char* string_at(const Bounded& b, size_t pair) {
  uint32_t offset = 0;
  uint32_t size = 0;
  if (!b.word(pair, &offset) || !b.word(pair + 4, &size)) return nullptr;
  return utf16_to_text(b.bytes, b.bound, offset, size);
}

}  // namespace

void dump_subscriber_ready(const uint8_t* info, size_t info_len, const char* direction) {
  const Bounded b{info, info_len};
  uint32_t v = 0;
  if (b.word(kReadyStateOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s ReadyState = %s", direction, ready_state_name(v));
  }
  // Each text is logged before the next string overwrites the buffer.
  if (const char* text = string_at(b, kSimIccIdPair)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s SIMICCID = %s", direction, text);
  }
  if (const char* text = string_at(b, kSubscriberIdPair)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s SubscriberID = %s", direction, text);
  }
  uint32_t count = 0;
  if (!b.word(kElementCountOffset, &count)) return;
  // The pairs lie one after another, so the first pair outside ends the list;
  // that also bounds a huge ElementCount by the buffer's size, and `pair`
  // cannot wrap since the pair before it lay inside.
  size_t pair = kFirstNumberPair;
  for (uint32_t i = 0; i < count; ++i, pair += kStringPairSize) {
    if (!b.inside(pair, kStringPairSize)) break;
    if (const char* text = string_at(b, pair)) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s Number = %s", direction, text);
    }
  }
}

void dump_register_state(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  dump_words(Bounded{info, info_len}, kRegisterState);
}

void dump_packet_service(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  dump_words(Bounded{info, info_len}, kPacketService);
}

void dump_signal_state(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  dump_words(Bounded{info, info_len}, kSignalState);
}

void dump_connect(const uint8_t* info, size_t info_len, const char* direction) {
  const Bounded b{info, info_len};
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  dump_words(b, kConnectWords);
  if (b.inside(kContextTypeOffset, kContextTypeSize)) {
    LOG_TXT(LOG_NORMAL, "[tessel] ContextType = %s", uuid_to_string(info + kContextTypeOffset));
  }
  uint32_t v = 0;
  if (b.word(kConnectNwErrorOffset, &v)) LOG_NUM(LOG_NORMAL, "[tessel] NwError = %u", v);
}

}  // namespace tessel

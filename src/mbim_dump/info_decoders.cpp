// info_decoders.cpp — the basic-connect decoders with one-word fields and
// strings; the IP configuration, which walks addresses, is in
// ip_configuration.cpp. Bounds rules in info_decoders.h.
#include "mbim_dump/info_decoders.h"

#include "diag_log/diag_log.h"
#include "mbim_dump/hex_text.h"
#include "mbim_dump/utf16_text.h"
#include "mbim_dump/value_names.h"
#include "byte_order/byte_order.h"

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

// Register state (CID 9):   0  NwError   4  RegisterState   8  RegisterMode
constexpr size_t kRegisterNwErrorOffset = 0;
constexpr size_t kRegisterStateOffset = 4;
constexpr size_t kRegisterModeOffset = 8;

// Packet service (CID 10):
//   0  NwError   4  PacketServiceState   8  HighestAvailableDataClass
//  12  UplinkSpeed (u64)                20  DownlinkSpeed (u64)
// Only the low word of each speed is shown.
constexpr size_t kPacketNwErrorOffset = 0;
constexpr size_t kPacketServiceStateOffset = 4;
constexpr size_t kDataClassOffset = 8;
constexpr size_t kUplinkSpeedOffset = 12;
constexpr size_t kDownlinkSpeedOffset = 20;

// Signal state (CID 11):
//   0  Rssi   4  ErrorRate   8  SignalStrengthInterval
//  12  RssiThreshold        16  ErrorRateThreshold
constexpr size_t kRssiOffset = 0;
constexpr size_t kErrorRateOffset = 4;
constexpr size_t kSignalIntervalOffset = 8;
constexpr size_t kRssiThresholdOffset = 12;
constexpr size_t kErrorRateThresholdOffset = 16;

// Connect (CID 12):
//   0  SessionId   4  ActivationState   8  VoiceCallState   12  IPType
//  16  ContextType (UUID, 16 bytes)    32  NwError
constexpr size_t kConnectSessionIdOffset = 0;
constexpr size_t kActivationStateOffset = 4;
constexpr size_t kVoiceCallStateOffset = 8;
constexpr size_t kIpTypeOffset = 12;
constexpr size_t kContextTypeOffset = 16;
constexpr size_t kContextTypeSize = 16;
constexpr size_t kConnectNwErrorOffset = 32;

// The text of the string whose (offset, size) pair stands at `pair`, or
// nullptr when the pair or the string lies outside the buffer.
const char* string_at(const uint8_t* info, size_t info_len, size_t pair) {
  uint32_t offset = 0;
  uint32_t size = 0;
  if (!read_le32(info, info_len, pair, &offset) || !read_le32(info, info_len, pair + 4, &size)) {
    return nullptr;
  }
  return utf16_to_text(info, info_len, offset, size);
}

}  // namespace

void dump_subscriber_ready(const uint8_t* info, size_t info_len, const char* direction) {
  uint32_t v = 0;
  if (read_le32(info, info_len, kReadyStateOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s ReadyState = %s", direction, ready_state_name(v));
  }
  // Each text is logged before the next string overwrites the buffer.
  if (const char* text = string_at(info, info_len, kSimIccIdPair)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s SIMICCID = %s", direction, text);
  }
  if (const char* text = string_at(info, info_len, kSubscriberIdPair)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s SubscriberID = %s", direction, text);
  }
  uint32_t count = 0;
  if (!read_le32(info, info_len, kElementCountOffset, &count)) return;
  // The pairs lie one after another, so the first pair outside ends the list;
  // that also bounds a huge ElementCount by the buffer's size, and `pair`
  // cannot wrap since the pair before it lay inside.
  size_t pair = kFirstNumberPair;
  for (uint32_t i = 0; i < count; ++i, pair += kStringPairSize) {
    if (!field_inside(info_len, pair, kStringPairSize)) break;
    if (const char* text = string_at(info, info_len, pair)) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s Number = %s", direction, text);
    }
  }
}

void dump_register_state(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  uint32_t v = 0;
  if (read_le32(info, info_len, kRegisterNwErrorOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] NwError = %u", v);
  }
  if (read_le32(info, info_len, kRegisterStateOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] RegisterState = %s", register_state_name(v));
  }
  if (read_le32(info, info_len, kRegisterModeOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] RegisterMode = %s", register_mode_name(v));
  }
}

void dump_packet_service(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  uint32_t v = 0;
  if (read_le32(info, info_len, kPacketNwErrorOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] NwError = %u", v);
  }
  if (read_le32(info, info_len, kPacketServiceStateOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] PacketServiceState = %s", packet_service_state_name(v));
  }
  if (read_le32(info, info_len, kDataClassOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] HighestAvailableDataClass = %s", data_class_name(v));
  }
  // The log shows a speed as the signed value of its low word: 2^31 and up
  // come out negative, 2^32 as 0.
  if (read_le32(info, info_len, kUplinkSpeedOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] UplinkSpeed = %ld", static_cast<int32_t>(v));
  }
  if (read_le32(info, info_len, kDownlinkSpeedOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] DownlinkSpeed = %ld", static_cast<int32_t>(v));
  }
}

void dump_signal_state(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  uint32_t v = 0;
  if (read_le32(info, info_len, kRssiOffset, &v)) LOG_NUM(LOG_NORMAL, "[tessel] Rssi = %u", v);
  if (read_le32(info, info_len, kErrorRateOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] ErrorRate = %u", v);
  }
  if (read_le32(info, info_len, kSignalIntervalOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] SignalStrengthInterval = %u", v);
  }
  if (read_le32(info, info_len, kRssiThresholdOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] RssiThreshold = %u", v);
  }
  if (read_le32(info, info_len, kErrorRateThresholdOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] ErrorRateThreshold = %u", v);
  }
}

void dump_connect(const uint8_t* info, size_t info_len, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  uint32_t v = 0;
  if (read_le32(info, info_len, kConnectSessionIdOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] SessionId = %u", v);
  }
  if (read_le32(info, info_len, kActivationStateOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] ActivationState = %s", activation_state_name(v));
  }
  if (read_le32(info, info_len, kIpTypeOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] IPType = %s", ip_type_name(v));
  }
  if (read_le32(info, info_len, kVoiceCallStateOffset, &v)) {
    LOG_TXT(LOG_NORMAL, "[tessel] VoiceCallState = %s", voice_call_state_name(v));
  }
  if (field_inside(info_len, kContextTypeOffset, kContextTypeSize)) {
    LOG_TXT(LOG_NORMAL, "[tessel] ContextType = %s", uuid_to_string(info + kContextTypeOffset));
  }
  if (read_le32(info, info_len, kConnectNwErrorOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] NwError = %u", v);
  }
}

}  // namespace tessel

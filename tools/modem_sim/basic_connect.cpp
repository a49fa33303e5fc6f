// basic_connect.cpp — the basic-connect service: device capabilities,
// subscriber ready status, radio state, PIN state and the device service
// subscription list; the device services list is in device_services.cpp.
//
// The modem plays one with its SIM slot empty. A SAR update needs no SIM,
// and ModemManager then lists the modem (failed: sim-missing) and leaves it
// alone, where a ready SIM would have it ask for registration, providers and
// packet service, which the simulator does not play.
#include <array>
#include <string>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/notes.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

// MBIM_DEVICE_CAPS_INFO, fixed part (32-bit words), strings after it:
//   0  DeviceType     4  CellularClass   8  VoiceClass     12  SimClass
//  16  DataClass     20  SmsCaps        24  ControlCaps    28  MaxSessions
//  32  CustomDataClass offset   36  size
//  40  DeviceId offset          44  size
//  48  FirmwareInfo offset      52  size
//  56  HardwareInfo offset      60  size
constexpr size_t kCapsFixedSize = 64;
constexpr size_t kCapsDeviceIdOffset = 40;
constexpr size_t kCapsFirmwareInfoOffset = 48;
constexpr size_t kCapsHardwareInfoOffset = 56;

// An embedded GSM-family modem without voice, with a removable SIM, doing
// GPRS to LTE, SMS in PDU mode and manual registration, one session.
constexpr std::array<uint32_t, 8> kCapsWords = {
    1,     // DeviceType: embedded
    1,     // CellularClass: GSM
    1,     // VoiceClass: no voice
    2,     // SimClass: removable
    0x3F,  // DataClass: GPRS, EDGE, UMTS, HSDPA, HSUPA, LTE
    0x03,  // SmsCaps: PDU receive and send
    0x01,  // ControlCaps: manual registration
    1,     // MaxSessions
};
constexpr char kDeviceId[] = "123456789012345";
constexpr char kFirmwareInfo[] = "TESSEL-SIM 1.0";
constexpr char kHardwareInfo[] = "tessel-modem-sim";

// MBIM_SUBSCRIBER_READY_INFO:
//   0  ReadyState   4  SubscriberId offset   8  size   12  SimIccId offset
//  16  size        20  ReadyInfo            24  ElementCount (telephone numbers)
//  28  TelephoneNumbersRefList (ElementCount pairs), strings after it
constexpr size_t kReadyStateOffset = 0;
constexpr size_t kReadyInfoOffset = 20;
constexpr size_t kReadyElementCountOffset = 24;
constexpr size_t kSubscriberReadyFixedSize = 28;
constexpr uint32_t kReadySimNotInserted = 2;

// MBIM_PIN_INFO: 0  PinType   4  PinState   8  RemainingAttempts.
constexpr size_t kPinTypeOffset = 0;
constexpr size_t kPinStateOffset = 4;
constexpr size_t kPinRemainingOffset = 8;
constexpr size_t kPinInfoSize = 12;
constexpr uint32_t kPinTypeNone = 0;
constexpr uint32_t kPinStateUnlocked = 0;

// Radio state answer: 0  HwRadioState   4  SwRadioState.
constexpr size_t kRadioStateSize = 8;
constexpr uint32_t kRadioOn = 1;

// Appends `text` as UTF-16LE at the next 4-byte boundary and writes its
// offset and size into the pair of words at `pair_offset`.
void append_string(std::vector<uint8_t>* caps, size_t pair_offset, const char* text) {
  while (caps->size() % 4 != 0) caps->push_back(0);
  size_t offset = caps->size();
  for (const char* c = text; *c != '\0'; ++c) {
    caps->push_back(static_cast<uint8_t>(*c));
    caps->push_back(0);
  }
  put_le32(caps->data() + pair_offset, static_cast<uint32_t>(offset));
  put_le32(caps->data() + pair_offset + 4, static_cast<uint32_t>(caps->size() - offset));
}

Answer device_caps(const CommandRequest& rq) {
  if (rq.command_type != kCommandQuery) return not_supported();
  Answer answer;
  answer.info.assign(kCapsFixedSize, 0);
  for (size_t i = 0; i < kCapsWords.size(); ++i) put_le32(&answer.info[4 * i], kCapsWords[i]);
  append_string(&answer.info, kCapsDeviceIdOffset, kDeviceId);
  append_string(&answer.info, kCapsFirmwareInfoOffset, kFirmwareInfo);
  append_string(&answer.info, kCapsHardwareInfoOffset, kHardwareInfo);
  while (answer.info.size() % 4 != 0) answer.info.push_back(0);
  return answer;
}

Answer radio_state(SimState* state, const CommandRequest& rq) {
  if (rq.command_type == kCommandSet) {
    uint32_t wanted = 0;
    if (rq.info_length != 4 || !read_le32(rq.info, rq.info_length, 0, &wanted) || wanted > 1) {
      note("radio state set: expected one word 0 or 1, got %zu bytes %s", rq.info_length,
           hex_text(rq.info, rq.info_length).c_str());
      return failure();
    }
    state->sw_radio_state = wanted;
    note("radio state set to %u", wanted);
  }
  Answer answer;
  answer.info.assign(kRadioStateSize, 0);
  put_le32(&answer.info[0], kRadioOn);
  put_le32(&answer.info[4], state->sw_radio_state);
  return answer;
}

// No SIM: no subscriber or SIM identity strings, no telephone numbers.
Answer subscriber_ready(const CommandRequest& rq) {
  if (rq.command_type != kCommandQuery) return not_supported();
  Answer answer;
  answer.info.assign(kSubscriberReadyFixedSize, 0);
  put_le32(&answer.info[kReadyStateOffset], kReadySimNotInserted);
  put_le32(&answer.info[kReadyInfoOffset], 0);
  put_le32(&answer.info[kReadyElementCountOffset], 0);
  return answer;
}

// Nothing to unlock.
Answer pin_state(const CommandRequest& rq) {
  if (rq.command_type != kCommandQuery) return not_supported();
  Answer answer;
  answer.info.assign(kPinInfoSize, 0);
  put_le32(&answer.info[kPinTypeOffset], kPinTypeNone);
  put_le32(&answer.info[kPinStateOffset], kPinStateUnlocked);
  put_le32(&answer.info[kPinRemainingOffset], 0);
  return answer;
}

Answer subscribe_list(const CommandRequest& rq) {
  if (rq.command_type != kCommandSet) return not_supported();
  uint32_t elements = 0;
  read_le32(rq.info, rq.info_length, 0, &elements);
  note("device service subscribe list: %u element(s), %zu bytes", elements, rq.info_length);
  return Answer{};
}

}  // namespace

Answer answer_basic_connect(SimState* state, const CommandRequest& request) {
  switch (request.cid) {
    case kCidDeviceCaps: return device_caps(request);
    case kCidSubscriberReady: return subscriber_ready(request);
    case kCidRadioState: return radio_state(state, request);
    case kCidPin: return pin_state(request);
    case kCidDeviceServices: return answer_device_services(request);
    case kCidSubscribeList: return subscribe_list(request);
    default:
      note("basic connect CID %u: NO_DEVICE_SUPPORT", request.cid);
      return not_supported();
  }
}

}  // namespace tessel::sim

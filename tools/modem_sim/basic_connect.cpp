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

// The strings after the fixed part, by the offset of their (offset, size)
// pair; CustomDataClass is left empty.
struct CapsString {
  size_t pair_offset;
  const char* text;
};
constexpr CapsString kCapsStrings[] = {
    {40, "123456789012345"},   // DeviceId
    {48, "TESSEL-SIM 1.0"},    // FirmwareInfo
    {56, "tessel-modem-sim"},  // HardwareInfo
};

// MBIM_SUBSCRIBER_READY_INFO with the slot empty: no subscriber or SIM
// identity strings, no telephone numbers.
constexpr std::array<uint32_t, 7> kNoSimReadyWords = {
    2,     // ReadyState: SIM not inserted
    0, 0,  // SubscriberId offset, size
    0, 0,  // SimIccId offset, size
    0,     // ReadyInfo
    0,     // ElementCount (telephone numbers)
};

// MBIM_PIN_INFO: nothing to unlock.
constexpr std::array<uint32_t, 3> kNoPinWords = {
    0,  // PinType: none
    0,  // PinState: unlocked
    0,  // RemainingAttempts
};

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
  answer.info = words_info(kCapsWords);
  answer.info.resize(kCapsFixedSize);  // the string pairs, written below
  for (const CapsString& string : kCapsStrings) {
    append_string(&answer.info, string.pair_offset, string.text);
  }
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
  // The answer: HwRadioState, always on, then SwRadioState.
  const std::array<uint32_t, 2> radio = {kRadioOn, state->sw_radio_state};
  return Answer{kStatusSuccess, words_info(radio)};
}

// Answers a query with the fixed `words`.
template <size_t N>
Answer fixed_answer(const CommandRequest& rq, const std::array<uint32_t, N>& words) {
  if (rq.command_type != kCommandQuery) return not_supported();
  return Answer{kStatusSuccess, words_info(words)};
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
    case kCidSubscriberReady: return fixed_answer(request, kNoSimReadyWords);
    case kCidRadioState: return radio_state(state, request);
    case kCidPin: return fixed_answer(request, kNoPinWords);
    case kCidDeviceServices: return answer_device_services(request);
    case kCidSubscribeList: return subscribe_list(request);
    default:
      note("basic connect CID %u: NO_DEVICE_SUPPORT", request.cid);
      return not_supported();
  }
}

}  // namespace tessel::sim

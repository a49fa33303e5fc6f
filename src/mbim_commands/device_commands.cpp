// device_commands.cpp — see device_commands.h.
#include "mbim_commands/device_commands.h"

#include <array>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_commands/function_open.h"
#include "mbim_format/build_command.h"
#include "mbim_format/device_payloads.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/uuid.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

Status open_or_close(uint32_t type) {
  // A message that cannot be built is refused by the transport.
  MessagePtr msg = build_open_or_close(type);
  MessagePtr response;
  const Status sent = exchange(msg.get(), answer_timeout(), &response);
  // The DONE's Status is not judged, but a function error refuses the open.
  uint32_t answer_type = 0, code = 0;
  if (response) {
    const uint32_t held = response_size(response.get());
    if (read_le32(response.get(), held, kMessageTypeOffset, &answer_type) &&
        answer_type == MBIM_FUNCTION_ERROR_MSG) {
      read_le32(response.get(), held, kErrorStatusCodeOffset, &code);
      return Status::function_error(code);
    }
  }
  return sent.code == Code::kTimedOut ? Code::kOk : sent;
}

// Logs the two radio-state words when the answer carries both.
bool log_radio_state(const Answer& answer, RadioState* out) {
  uint32_t hw = 0, sw = 0;
  if (!read_le32(answer.info, answer.length, kHwRadioStateField, &hw) ||
      !read_le32(answer.info, answer.length, kSwRadioStateField, &sw))
    return false;
  LOG_NUM(LOG_NORMAL, "[tessel] HwRadioState: %d, SwRadioState: %d", hw, sw);
  if (out != nullptr) *out = {static_cast<int32_t>(hw), static_cast<int32_t>(sw)};
  return true;
}

// The radio-state query or set (`type`), on the basic connect service or,
// with `alternative` non-zero, on the fixed alternative one; the answer's two
// words are logged and, for a query, handed to `*out`.
Status radio_state_command(int alternative, uint32_t type, const uint8_t* payload, uint32_t length,
                           RadioState* out) {
  const CommandSpec cmd = alternative != 0
                               ? CommandSpec{kUuidRadioStateAlt, kCidRadioStateAlt, type, payload, length}
                               : CommandSpec{kUuidBasicConnect, kCidRadioState, type, payload, length};
  Answer answer;
  const Status s = run_command(cmd, &answer);
  if (s.ok()) log_radio_state(answer, out);
  return s;
}

// One capability string as text: the low byte of each UTF-16 unit, at most
// 31 characters. False when its offset or size is 0 or it lies outside.
bool caps_string(const Answer& answer, size_t offset_at, std::array<char, 32>* text) {
  uint32_t offset = 0, size = 0;
  if (!read_le32(answer.info, answer.length, offset_at, &offset) ||
      !read_le32(answer.info, answer.length, offset_at + 4, &size))
    return false;
  if (offset == 0 || size == 0 || !field_inside(answer.length, offset, size)) return false;
  const uint32_t n = size > 62 ? 62 : size;
  size_t k = 0;
  for (; 2 * k < n; ++k) (*text)[k] = static_cast<char>(answer.info[offset + 2 * k]);
  (*text)[k] = '\0';
  return true;
}

}  // namespace

Status mbim_open() { return open_or_close(MBIM_OPEN_MSG); }

Status mbim_close() { return open_or_close(MBIM_CLOSE_MSG); }

Status mbim_radio_state_query(RadioState* out, int alternative) {
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_radio_state_query()");
  return radio_state_command(alternative, kCommandQuery, nullptr, 0, out);
}

Status mbim_radio_state_set(int state, int alternative) {
  LOG_NUM(LOG_NORMAL, "[tessel] mbim_radio_state_set ( %d )", state);
  uint8_t payload[4];
  put_le32(payload + kRadioStateField, static_cast<uint32_t>(state));
  return radio_state_command(alternative, kCommandSet, payload, sizeof payload, nullptr);
}

Status mbim_device_caps_query(char* buffer, size_t capacity) {
  if (buffer != nullptr && capacity > 0) buffer[0] = '\0';
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_device_caps_query()");
  Answer answer;
  const Status s =
      run_command({kUuidBasicConnect, kCidDeviceCaps, kCommandQuery, nullptr, 0}, &answer);
  if (!s.ok() || answer.length == 0) return s;
  std::array<char, 32> text;
  if (caps_string(answer, kCapsDeviceIdField, &text)) {
    LOG_TXT(LOG_NORMAL, "[tessel] DeviceId:     %s", text.data());
  }
  if (caps_string(answer, kCapsFirmwareInfoField, &text)) {
    LOG_TXT(LOG_NORMAL, "[tessel] FirmwareInfo: %s", text.data());
  }
  if (caps_string(answer, kCapsHardwareInfoField, &text)) {
    LOG_TXT(LOG_NORMAL, "[tessel] HardwareInfo: %s", text.data());
    if (buffer != nullptr && capacity > 0) {
      // Unlike a bare strncpy, the copy always ends in a NUL, so a caller can
      // print it whatever its capacity.
      std::strncpy(buffer, text.data(), capacity - 1);
      buffer[capacity - 1] = '\0';
    }
  }
  return s;
}

Status mbim_device_service_subscribe(const char* service, const uint32_t* cids, uint32_t count) {
  LOG_TXT(LOG_NORMAL, "[tessel] (uuid=%s)", service != nullptr ? service : "");
  if (count > (UINT32_MAX - kCommandHeaderSize - kSubscribeCidsOffset) / 4) {
    return Code::kBadArgument;
  }
  MessagePtr request = build_command(kUuidBasicConnect, kCidSubscribeList, kCommandSet, nullptr,
                                     static_cast<uint32_t>(kSubscribeCidsOffset) + 4 * count);
  if (request) {
    uint8_t* info = info_buffer(request);
    put_le32(info + kSubscribeElementCountField, 1);
    put_le32(info + kSubscribeElementOffsetField, kSubscribeElementOffset);
    put_le32(info + kSubscribeElementSizeField, kSubscribeElementHeaderSize + 4 * count);
    std::memcpy(info + kSubscribeServiceOffset, uuid_from_text(service).bytes.data(), kUuidSize);
    put_le32(info + kSubscribeCidCountField, count);
    for (uint32_t i = 0; i < count; ++i) put_le32(info + kSubscribeCidsOffset + 4 * i, cids[i]);
  }
  return run_built_command(std::move(request), answer_timeout(), nullptr);
}

Status mbim_ms_sar_config(uint32_t backoff_index) {
  LOG_NUM(LOG_NORMAL, "[tessel] (Value=%u)", backoff_index);
  uint8_t payload[kMsSarConfigSize];
  put_le32(payload + kMsSarModeField, 1);
  put_le32(payload + kMsSarBackoffStatusField, 1);
  put_le32(payload + kMsSarElementCountField, 1);
  put_le32(payload + kMsSarElementOffsetField, kMsSarElementOffset);
  put_le32(payload + kMsSarElementSizeField, kMsSarElementSize);
  put_le32(payload + kMsSarAntennaIndexField, kMsSarAllAntennas);
  put_le32(payload + kMsSarBackoffIndexField, backoff_index);
  return run_command({kUuidMsSarControl, kCidMsSarConfig, kCommandSet, payload, kMsSarConfigSize},
                     nullptr);
}

}  // namespace tessel

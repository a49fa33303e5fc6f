// device_commands.cpp — see device_commands.h.
#include "mbim_protocol/device_commands.h"

#include <array>
#include <cstdlib>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_protocol/build_command.h"
#include "mbim_protocol/command.h"
#include "mbim_protocol/mbim_message.h"
#include "mbim_protocol/transaction_id.h"
#include "mbim_protocol/uuid.h"
#include "mbim_protocol/wire.h"

TESSEL_LOG_MODULE("src/mbim_protocol");

namespace tessel {
namespace {

constexpr uint32_t kCidDeviceCaps = 1;
constexpr uint32_t kCidRadioState = 3;
constexpr uint32_t kCidSubscribeList = 19;
constexpr uint32_t kCidProxyConfiguration = 1;
constexpr uint32_t kCidRadioStateAlt = 1;
constexpr uint32_t kCidMsSarConfig = 1;
constexpr uint32_t kProxyTimeoutSeconds = 15;

int open_or_close(uint32_t type, size_t size) {
  MessagePtr msg(static_cast<uint8_t*>(std::calloc(1, size)));
  if (!msg) return -1;
  put_le32(msg.get() + kMessageTypeOffset, type);
  put_le32(msg.get() + kMessageLengthOffset, static_cast<uint32_t>(size));
  put_le32(msg.get() + kTransactionIdOffset, next_transaction_id());
  if (type == MBIM_OPEN_MSG) put_le32(msg.get() + kOpenMaxControlTransferOffset, kMaxControlTransfer);
  MessagePtr response;
  const int err = exchange(msg.get(), kDefaultTimeoutSeconds, &response);
  return err < 0 ? -1 : 0;
}

// Logs the two radio-state words when the answer carries both.
bool log_radio_state(const Answer& answer, RadioState* out) {
  uint32_t hw = 0, sw = 0;
  if (!read_le32(answer.info, answer.length, 0, &hw) || !read_le32(answer.info, answer.length, 4, &sw))
    return false;
  LOG_NUM(LOG_NORMAL, "[tessel] HwRadioState: %d, SwRadioState: %d", hw, sw);
  if (out != nullptr) *out = {static_cast<int32_t>(hw), static_cast<int32_t>(sw)};
  return true;
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

int mbim_proxy_config(const char* device_path) {
  if (device_path == nullptr) device_path = "";
  const size_t length = std::strlen(device_path);
  if (length > (UINT32_MAX - kCommandHeaderSize - 12) / 2) return -1;
  const uint32_t size = static_cast<uint32_t>(2 * length);
  MessagePtr request = build_command(kUuidProxyControl, kCidProxyConfiguration, kCommandSet,
                                     nullptr, 12 + size);
  if (request) {
    uint8_t* info = info_buffer(request);
    put_le32(info + 0, 12);
    put_le32(info + 4, size);
    put_le32(info + 8, kProxyTimeoutSeconds);
    for (size_t i = 0; i < length; ++i) put_le16(info + 12 + 2 * i, static_cast<uint8_t>(device_path[i]));
  }
  return run_built_command(std::move(request), kDefaultTimeoutSeconds, nullptr);
}

int mbim_open() { return open_or_close(MBIM_OPEN_MSG, kOpenMessageSize); }

int mbim_close() { return open_or_close(MBIM_CLOSE_MSG, kCloseMessageSize); }

int mbim_radio_state_query(RadioState* out, int alternative) {
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_radio_state_query()");
  const CommandSpec cmd = alternative != 0
                               ? CommandSpec{kUuidRadioStateAlt, kCidRadioStateAlt, kCommandQuery, nullptr, 0}
                               : CommandSpec{kUuidBasicConnect, kCidRadioState, kCommandQuery, nullptr, 0};
  Answer answer;
  const int err = run_command(cmd, &answer);
  if (err != 0) return err;
  log_radio_state(answer, out);
  return 0;
}

int mbim_radio_state_set(int state, int alternative) {
  LOG_NUM(LOG_NORMAL, "[tessel] mbim_radio_state_set ( %d )", state);
  uint8_t payload[4];
  put_le32(payload, static_cast<uint32_t>(state));
  const CommandSpec cmd = alternative != 0
                               ? CommandSpec{kUuidRadioStateAlt, kCidRadioStateAlt, kCommandSet, payload, 4}
                               : CommandSpec{kUuidBasicConnect, kCidRadioState, kCommandSet, payload, 4};
  Answer answer;
  const int err = run_command(cmd, &answer);
  if (err != 0) return err;
  log_radio_state(answer, nullptr);
  return 0;
}

int mbim_device_caps_query(char* buffer, size_t capacity) {
  if (buffer != nullptr && capacity > 0) buffer[0] = '\0';
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_device_caps_query()");
  Answer answer;
  const int err = run_command({kUuidBasicConnect, kCidDeviceCaps, kCommandQuery, nullptr, 0}, &answer);
  if (err != 0 || answer.length == 0) return err;
  std::array<char, 32> text;
  if (caps_string(answer, 40, &text)) LOG_TXT(LOG_NORMAL, "[tessel] DeviceId:     %s", text.data());
  if (caps_string(answer, 48, &text)) LOG_TXT(LOG_NORMAL, "[tessel] FirmwareInfo: %s", text.data());
  if (caps_string(answer, 56, &text)) {
    LOG_TXT(LOG_NORMAL, "[tessel] HardwareInfo: %s", text.data());
    if (buffer != nullptr && capacity > 0) {
      // Unlike a bare strncpy, the copy always ends in a NUL, so a caller can
      // print it whatever its capacity.
      std::strncpy(buffer, text.data(), capacity - 1);
      buffer[capacity - 1] = '\0';
    }
  }
  return 0;
}

int mbim_device_service_subscribe(const char* service, const uint32_t* cids, uint32_t count) {
  LOG_TXT(LOG_NORMAL, "[tessel] (uuid=%s)", service != nullptr ? service : "");
  if (count > (UINT32_MAX - kCommandHeaderSize - 32) / 4) return -1;
  MessagePtr request =
      build_command(kUuidBasicConnect, kCidSubscribeList, kCommandSet, nullptr, 32 + 4 * count);
  if (request) {
    uint8_t* info = info_buffer(request);
    put_le32(info + 0, 1);
    put_le32(info + 4, 12);
    put_le32(info + 8, 20 + 4 * count);
    std::memcpy(info + 12, uuid_from_string(service), kUuidSize);
    put_le32(info + 28, count);
    for (uint32_t i = 0; i < count; ++i) put_le32(info + 32 + 4 * i, cids[i]);
  }
  return run_built_command(std::move(request), kDefaultTimeoutSeconds, nullptr);
}

int mbim_ms_sar_config(uint32_t backoff_index) {
  LOG_NUM(LOG_NORMAL, "[tessel] (Value=%u)", backoff_index);
  uint8_t payload[28];
  put_le32(payload + 0, 1);            // SAR mode
  put_le32(payload + 4, 1);            // back-off status
  put_le32(payload + 8, 1);            // element count
  put_le32(payload + 12, 20);          // element offset
  put_le32(payload + 16, 8);           // element size
  put_le32(payload + 20, 0xFFFFFFFF);  // antenna index: all
  put_le32(payload + 24, backoff_index);
  return run_command({kUuidMsSarControl, kCidMsSarConfig, kCommandSet, payload, 28}, nullptr);
}

}  // namespace tessel

// sar_commands.cpp — see sar_commands.h.
#include "mbim_commands/sar_commands.h"

#include <cstring>

#include "byte_order/byte_order.h"
#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/uuid.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {

Status mbim_SetSarEnable(int enable) {
  LOG_NUM(LOG_NORMAL, "[tessel] (Value=%u)", enable);
  // The 16-bit word 0x1200 / 0x2200, little-endian: 00 12 or 00 22.
  const uint8_t payload[2] = {0x00, static_cast<uint8_t>(enable != 0 ? 0x12 : 0x22)};
  return run_command({kUuidQmbe, kCidDiagOverMbimCfg, kCommandSet, payload, 2}, nullptr);
}

Status mbim_GetSarEnable(int* enable) {
  if (enable != nullptr) *enable = -1;
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_GetSarEnable()");
  Answer answer;
  const Status s =
      run_command({kUuidQmbe, kCidDiagOverMbimCfg, kCommandQuery, nullptr, 0}, &answer);
  if (!s.ok() || answer.length == 0) return s;
  uint32_t value = 0;
  for (uint32_t i = 0; i < 4 && i < answer.length; ++i) value |= uint32_t(answer.info[i]) << (8 * i);
  LOG_NUM(LOG_NORMAL, "[tessel] \tdiag_config: %u", value);
  if (enable != nullptr) *enable = value != 0 ? 1 : 0;
  return s;
}

Status mbim_GetSarMd5(int item, uint8_t digest[16], bool* read) {
  if (read != nullptr) *read = false;
  uint8_t payload[4];
  put_be32(payload, static_cast<uint32_t>(item));  // the item number travels big-endian
  Answer answer;
  const Status s = run_command({kUuidQmbe, kCidSarMd5, kCommandSet, payload, 4}, &answer);
  if (!s.ok()) return s;
  // Both what the modem declared and what arrived must be the 16 bytes.
  if (answer.declared == 16 && answer.length == 16) {
    std::memcpy(digest, answer.info, 16);
    if (read != nullptr) *read = true;
  }
  return s;
}

Status mbim_SarApply(int item, bool* answered) {
  LOG_NUM(LOG_NORMAL, "[tessel] (Value=%x)", item);
  const uint32_t v = static_cast<uint32_t>(item);
  const uint8_t payload[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
  CommandSpec cmd{kUuidQmbe, kCidSarApply, kCommandSet, payload, 2};
  cmd.timeout_s = kApplyTimeoutSeconds;
  cmd.timeout_is_success = true;
  bool timed_out = false;
  cmd.timed_out = &timed_out;
  const Status s = run_command(cmd, nullptr);
  if (answered != nullptr) *answered = !timed_out;
  return s;
}

}  // namespace tessel

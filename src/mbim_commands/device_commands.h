// device_commands.h — device commands of the protocol layer that no flow of
// the tool runs today, kept ready for the flows and integrators that need
// them: open/close, radio state, device capabilities, service subscriptions
// and the Microsoft SAR configuration. Their requests' and answers' layouts
// are in mbim_format/device_payloads.h. The proxy configuration, which the
// service API does send, is proxy_config.h.
#ifndef TESSEL_MBIM_COMMANDS_DEVICE_COMMANDS_H_
#define TESSEL_MBIM_COMMANDS_DEVICE_COMMANDS_H_

#include <cstddef>
#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

// MBIM_OPEN_MSG (MaxControlTransfer 4096) and MBIM_CLOSE_MSG. Ok; the
// exchange's failure (kNoChannel also when the message cannot be built); or
// kFunctionError when the modem answers with an MBIM_FUNCTION_ERROR_MSG. An
// answer that does not come (kTimedOut) and the DONE's Status do not count.
Status mbim_open();
Status mbim_close();

struct RadioState {
  int32_t hw;
  int32_t sw;
};

// Basic connect CID 3, or with `alternative` non-zero the fixed service
// 11223344-5566-7788-99aa-bbccddeeff11, CID 1. `*out` is written only from
// an answer that carries both words.
Status mbim_radio_state_query(RadioState* out, int alternative);
Status mbim_radio_state_set(int state, int alternative);

// Logs DeviceId, FirmwareInfo and HardwareInfo (at most 31 characters each,
// the low byte of each UTF-16 unit) and copies HardwareInfo into `buffer` of
// `capacity` bytes, always terminated. A string that does not lie inside the
// answer is skipped.
Status mbim_device_caps_query(char* buffer, size_t capacity);

// kBadArgument for more CIDs than one request can carry.
Status mbim_device_service_subscribe(const char* service, const uint32_t* cids, uint32_t count);

Status mbim_ms_sar_config(uint32_t backoff_index);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_DEVICE_COMMANDS_H_

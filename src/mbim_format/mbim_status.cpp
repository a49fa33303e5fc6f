// mbim_status.cpp — see mbim_status.h.
#include "mbim_format/mbim_status.h"

#include "diag_log/diag_log.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/protocol_log.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

template <size_t N>
const char* name_in(const std::array<const char*, N>& table, uint32_t value) {
  return value < N ? table[value] : "";
}

// Offset of the status field for this message type, or 0 when it has none.
size_t status_offset(uint32_t type) {
  switch (type) {
    case MBIM_OPEN_DONE:
    case MBIM_CLOSE_DONE:
      return kDoneStatusOffset;
    case MBIM_COMMAND_DONE:
      return kCommandDoneStatusOffset;
    case MBIM_FUNCTION_ERROR_MSG:
      return kErrorStatusCodeOffset;
    default:
      return 0;
  }
}

}  // namespace

bool status_field_held(const uint8_t* response, size_t held) {
  uint32_t type = 0;
  if (!read_le32(response, held, kMessageTypeOffset, &type)) return false;
  const size_t offset = status_offset(type);
  return offset == 0 || field_inside(held, offset, 4);
}

Status decode_status(const uint8_t* response, size_t held) {
  uint32_t type = 0;
  if (!read_le32(response, held, kMessageTypeOffset, &type)) return Code::kOk;
  const size_t offset = status_offset(type);
  uint32_t value = 0;
  if (offset == 0 || !read_le32(response, held, offset, &value) || value == 0) return Code::kOk;

  switch (type) {
    case MBIM_OPEN_DONE:
      LOG_TXT(LOG_NORMAL, "[tessel] MBIM_OPEN_DONE status: (%s)", name_in(status_names, value));
      break;
    case MBIM_CLOSE_DONE:
      LOG_TXT(LOG_NORMAL, "[tessel] MBIM_CLOSE_DONE status: (%s)", name_in(status_names, value));
      break;
    case MBIM_COMMAND_DONE:
      if (value == kStatusInvalidParameters) {
        LOG_TXT(LOG_NORMAL, "[tessel] MBIM_COMMAND_DONE status: (%s)",
                "QBI_MBIM_STATUS_INVALID_PARAMETERS");
      } else {
        LOG_TXT(LOG_NORMAL, "[tessel] MBIM_COMMAND_DONE status: (%s)",
                name_in(status_names, value));
      }
      break;
    case MBIM_FUNCTION_ERROR_MSG:
      LOG_TXT(LOG_NORMAL, "[tessel] MBIM_FUNCTION_ERROR_MSG status: (%s)",
              name_in(error_status_names, value));
      return Status::function_error(value);
  }
  return Status::modem(value);
}

}  // namespace tessel

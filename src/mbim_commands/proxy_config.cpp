// proxy_config.cpp — see proxy_config.h.
#include "mbim_commands/proxy_config.h"

#include <cstring>

#include "byte_order/byte_order.h"
#include "mbim_commands/command.h"
#include "mbim_format/build_command.h"
#include "mbim_format/device_payloads.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"

namespace tessel {

Status mbim_proxy_config(const char* device_path) {
  if (device_path == nullptr) device_path = "";
  const size_t length = std::strlen(device_path);
  if (length > (UINT32_MAX - kCommandHeaderSize - kProxyPathOffset) / 2) {
    return Code::kBadArgument;
  }
  const uint32_t size = static_cast<uint32_t>(2 * length);
  MessagePtr request = build_command(kUuidProxyControl, kCidProxyConfiguration, kCommandSet,
                                     nullptr, static_cast<uint32_t>(kProxyPathOffset) + size);
  if (request) {
    uint8_t* info = info_buffer(request);
    put_le32(info + kProxyPathOffsetField, static_cast<uint32_t>(kProxyPathOffset));
    put_le32(info + kProxyPathSizeField, size);
    put_le32(info + kProxyTimeoutField, kProxyTimeoutSeconds);
    for (size_t i = 0; i < length; ++i) {
      put_le16(info + kProxyPathOffset + 2 * i, static_cast<uint8_t>(device_path[i]));
    }
  }
  return run_built_command(std::move(request), answer_timeout(), nullptr);
}

}  // namespace tessel

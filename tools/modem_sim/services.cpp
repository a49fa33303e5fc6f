// services.cpp — routes a command to its service, and plays the small
// services: the AT tunnel, libmbim proxy control and MS SAR control.
#include "modem_sim/services.h"

#include <string>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/notes.h"

namespace tessel::sim {
namespace {

// Proxy configuration InformationBuffer:
//   0  path offset    4  path size (bytes of UTF-16LE)    8  timeout (seconds)
constexpr size_t kProxyPathOffsetOffset = 0;
constexpr size_t kProxyPathSizeOffset = 4;
constexpr size_t kProxyTimeoutOffset = 8;

// MS SAR configuration: 0  SAR mode   4  back-off status   8  element count ...
constexpr size_t kMsSarModeOffset = 0;
constexpr size_t kMsSarBackoffOffset = 4;

Answer answer_at_tunnel(const SimState& state, const CommandRequest& rq) {
  if (rq.cid != kCidAtCommand || rq.command_type != kCommandSet) return not_supported();
  if (rq.info_length < kAtLeadingWordSize) {
    note("AT command: InformationBuffer of %zu bytes lacks the leading word", rq.info_length);
    return failure();
  }
  note("AT command \"%s\"",
       printable_text(rq.info + kAtLeadingWordSize, rq.info_length - kAtLeadingWordSize)
           .c_str());
  Answer answer;
  if (state.options.at_empty) return answer;
  answer.info.assign(kAtLeadingWordSize, 0);
  answer.info.insert(answer.info.end(), state.options.at_reply.begin(),
                     state.options.at_reply.end());
  return answer;
}

Answer answer_proxy_control(const CommandRequest& rq) {
  if (rq.cid != kCidProxyConfiguration || rq.command_type != kCommandSet) return not_supported();
  uint32_t path_offset = 0;
  uint32_t path_size = 0;
  uint32_t timeout = 0;
  if (!read_le32(rq.info, rq.info_length, kProxyPathOffsetOffset, &path_offset) ||
      !read_le32(rq.info, rq.info_length, kProxyPathSizeOffset, &path_size) ||
      !read_le32(rq.info, rq.info_length, kProxyTimeoutOffset, &timeout) ||
      !field_inside(rq.info_length, path_offset, path_size) || path_size % 2 != 0) {
    note("proxy configuration: malformed InformationBuffer of %zu bytes", rq.info_length);
    return failure();
  }
  // The path travels as UTF-16LE; a device path is ASCII, anything else shows as '?'.
  std::string path;
  for (uint32_t i = 0; i < path_size; i += 2) {
    uint16_t unit = get_le16(rq.info + path_offset + i);
    path.push_back(unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?');
  }
  note("proxy configuration: path \"%s\", timeout %u s", path.c_str(), timeout);
  return Answer{};
}

Answer answer_ms_sar_control(const CommandRequest& rq) {
  if (rq.cid != kCidMsSarConfiguration || rq.command_type != kCommandSet) return not_supported();
  uint32_t mode = 0;
  uint32_t backoff = 0;
  if (read_le32(rq.info, rq.info_length, kMsSarModeOffset, &mode) &&
      read_le32(rq.info, rq.info_length, kMsSarBackoffOffset, &backoff)) {
    note("MS SAR configuration: mode %u, back-off status %u (%zu bytes)", mode, backoff,
         rq.info_length);
  } else {
    note("MS SAR configuration of %zu bytes", rq.info_length);
  }
  return Answer{};
}

}  // namespace

Answer answer_command(SimState* state, const CommandRequest& request) {
  if (request.service == kServiceBasicConnect) return answer_basic_connect(state, request);
  if (request.service == kServiceQmbe) return answer_qmbe(state, request);
  if (request.service == kServiceAtTunnel) return answer_at_tunnel(*state, request);
  if (request.service == kServiceProxyControl) return answer_proxy_control(request);
  if (request.service == kServiceMsSarControl) return answer_ms_sar_control(request);
  note("unknown service %s, CID %u: NO_DEVICE_SUPPORT",
       hex_text(request.service.data(), request.service.size()).c_str(), request.cid);
  return not_supported();
}

}  // namespace tessel::sim

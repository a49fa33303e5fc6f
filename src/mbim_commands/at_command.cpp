// at_command.cpp — see at_command.h.
#include "mbim_commands/at_command.h"

#include <array>
#include <cstdio>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_format/build_command.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/uuid.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

constexpr size_t kAtTextOffset = 4;
std::array<char, kAtReplySize> at_reply{};

}  // namespace

Status mbim_send_at(const char* command, const char** reply) {
  if (reply != nullptr) *reply = nullptr;
  if (command == nullptr) command = "";
  const size_t length = std::strlen(command);

  LOG_TXT(LOG_NORMAL, "[tessel] Send > %s\n", command);
  std::printf("Send > %s\n", command);

  MessagePtr request;
  if (length <= UINT32_MAX - kAtTextOffset - kCommandHeaderSize) {
    request = build_command(kUuidAtds, kAtCid, kCommandSet, nullptr,
                            static_cast<uint32_t>(length + kAtTextOffset));
  }
  if (request) {
    put_le32(info_buffer(request), 0);
    std::memcpy(info_buffer(request) + kAtTextOffset, command, length);
  }
  Answer answer;
  const Status s = run_built_command(std::move(request), answer_timeout(), &answer);
  if (!s.ok() || answer.declared == 0) return s;

  // An answer shorter than its leading word carries an empty reply.
  size_t text = answer.length > kAtTextOffset ? answer.length - kAtTextOffset : 0;
  if (text > at_reply.size() - 1) text = at_reply.size() - 1;
  size_t copied = 0;
  if (text > 0) {
    const char* src = reinterpret_cast<const char*>(answer.info) + kAtTextOffset;
    copied = strnlen(src, text);
    std::memcpy(at_reply.data(), src, copied);
  }
  at_reply[copied] = '\0';

  LOG_TXT(LOG_NORMAL, "[tessel] Recv < %s\n", at_reply.data());
  std::printf("Recv < %s\n", at_reply.data());
  if (reply != nullptr) *reply = at_reply.data();
  return s;
}

}  // namespace tessel

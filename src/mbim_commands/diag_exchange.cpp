// diag_exchange.cpp — see diag_exchange.h.
#include "mbim_commands/diag_exchange.h"

#include <unistd.h>

#include "diag_log/diag_log.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_format/build_command.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/mbim_status.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/uuid.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

MessagePtr framed_request(const DiagPacket* packet) {
  MessagePtr request =
      build_command(kUuidQmbe, kCidDiagPacket, kCommandSet, nullptr, static_cast<uint32_t>(kMaxFrameSize));
  if (request) {
    const size_t n = diag_frame(packet->bytes.data(), packet->length, info_buffer(request));
    set_info_length(request.get(), static_cast<uint32_t>(n));
  }
  return request;
}

bool is_busy(const MessagePtr& response) {
  if (!response) return false;
  const uint8_t* m = response.get();
  const uint32_t held = response_size(m);
  uint32_t type = 0, status = 0;
  return read_le32(m, held, kMessageTypeOffset, &type) && type == MBIM_COMMAND_DONE &&
         read_le32(m, held, kCommandDoneStatusOffset, &status) && status == kStatusBusy;
}

}  // namespace

Status exchange_with_retries(const DiagPacket* packet, int* busy, Answer* answer) {
  for (;;) {
    MessagePtr request = framed_request(packet);
    MessagePtr response;
    const Status sent = exchange(request.get(), answer_timeout(), &response);
    if (sent.ok() && is_busy(response)) {
      ++*busy;
      LOG_MSG(LOG_NORMAL, "[tessel] mbim status busy,now delay 200mS resend");
      request.reset();
      response.reset();
      usleep(kBusyDelayMicroseconds);
      if (*busy > kMaxBusyRetries) {
        LOG_MSG(LOG_ERROR, "[tessel] (busy 3 timers retry fail)");
        return Code::kTransfer;
      }
      continue;
    }
    return finish_command(sent, std::move(response), answer);
  }
}

}  // namespace tessel

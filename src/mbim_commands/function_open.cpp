// function_open.cpp — see function_open.h.
#include "mbim_commands/function_open.h"

#include <cstdlib>
#include <cstring>

#include "byte_order/byte_order.h"
#include "diag_log/diag_log.h"
#include "transport/exchange.h"
#include "transport/transport.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/transaction_id.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

constexpr uint32_t kErrorNotOpened = 5;  // MBIM_FUNCTION_ERROR_MSG ErrorStatusCode

// Sends MBIM_OPEN_MSG; true once an MBIM_OPEN_DONE with Status 0 answers it.
// Anything else (no answer, a function error, a failure Status, a done too
// short to hold its Status) leaves the function closed.
bool open_function(uint32_t timeout_s) {
  MessagePtr open = build_open_or_close(MBIM_OPEN_MSG);
  uint8_t* raw = nullptr;
  Status sent = send_and_wait(open.get(), &raw, timeout_s);
  const MessagePtr done(raw);
  if (sent.ok() && !done) sent = Code::kNoChannel;
  uint32_t type = 0;
  uint32_t status = UINT32_MAX;  // until a whole Status field says otherwise
  if (done) {
    // The reader hands over only an OPEN_DONE or a function error, both
    // with their word at offset 12; a message cut before it opens nothing.
    const uint32_t held = get_le32(done.get() + kMessageLengthOffset);
    read_le32(done.get(), held, kMessageTypeOffset, &type);
    read_le32(done.get(), held, kDoneStatusOffset, &status);
  }
  if (sent.ok() && type == MBIM_OPEN_DONE && status == 0) {
    LOG_MSG(LOG_NORMAL, "[tessel] the modem's MBIM function is open; sending the command again");
    return true;
  }
  LOG_NUM(LOG_ERROR, "[tessel] the modem's MBIM function did not open: err=%d, Status=%d",
          legacy_result(sent), done ? status : 0);
  return false;
}

// A copy of `request` (its MessageLength bytes) under the next TransactionId.
MessagePtr copy_with_next_id(const uint8_t* request) {
  const uint32_t length = get_le32(request + kMessageLengthOffset);
  MessagePtr copy(static_cast<uint8_t*>(std::malloc(length)));
  if (!copy) return copy;
  std::memcpy(copy.get(), request, length);
  put_le32(copy.get() + kTransactionIdOffset, next_transaction_id());
  return copy;
}

}  // namespace

MessagePtr build_open_or_close(uint32_t type) {
  const size_t size = type == MBIM_OPEN_MSG ? kOpenMessageSize : kCloseMessageSize;
  MessagePtr msg(static_cast<uint8_t*>(std::calloc(1, size)));
  if (!msg) return msg;
  put_le32(msg.get() + kMessageTypeOffset, type);
  put_le32(msg.get() + kMessageLengthOffset, static_cast<uint32_t>(size));
  put_le32(msg.get() + kTransactionIdOffset, next_transaction_id());
  if (type == MBIM_OPEN_MSG) {
    put_le32(msg.get() + kOpenMaxControlTransferOffset, kMaxControlTransfer);
  }
  return msg;
}

bool needs_function_open(const uint8_t* request, const MessagePtr& response) {
  if (request == nullptr || !response) return false;
  const uint32_t held = get_le32(response.get() + kMessageLengthOffset);
  uint32_t type = 0, code = 0;
  return get_le32(request + kMessageTypeOffset) == MBIM_COMMAND_MSG &&
         read_le32(response.get(), held, kMessageTypeOffset, &type) &&
         type == MBIM_FUNCTION_ERROR_MSG &&
         read_le32(response.get(), held, kErrorStatusCodeOffset, &code) &&
         code == kErrorNotOpened && ctx_road() == Road::kDeviceNode;
}

Status open_function_and_resend(const uint8_t* request, uint32_t timeout_s, MessagePtr* response) {
  LOG_MSG(LOG_NORMAL, "[tessel] the modem's MBIM function was closed; opening it");
  if (!open_function(timeout_s)) return Code::kOk;  // the refusal stands
  MessagePtr again = copy_with_next_id(request);
  if (!again) return Code::kOk;
  uint8_t* raw = nullptr;
  const Status sent = send_and_wait(again.get(), &raw, timeout_s);
  response->reset(raw);
  return sent;
}

}  // namespace tessel

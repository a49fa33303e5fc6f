// command.cpp — see command.h.
#include "mbim_commands/command.h"

#include "diag_log/diag_log.h"
#include "mbim_commands/function_open.h"
#include "mbim_format/build_command.h"
#include "mbim_format/mbim_status.h"
#include "mbim_format/protocol_log.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {

namespace {

uint32_t g_answer_timeout_s = kDefaultTimeoutSeconds;

// A response of `held` bytes that cannot be judged. A COMMAND_DONE cut
// between its Status and its InformationBuffer would otherwise pass as a
// success without data, whatever data its answer had.
bool cannot_be_judged(const uint8_t* response, uint32_t held) {
  if (!status_field_held(response, held)) return true;
  uint32_t type = 0;
  return read_le32(response, held, kMessageTypeOffset, &type) && type == MBIM_COMMAND_DONE &&
         held < kCommandHeaderSize;
}

// An MBIM_FUNCTION_ERROR_MSG refuses its request whatever code it carries;
// one whose ErrorStatusCode is 0 would otherwise decode as success.
bool function_error_without_code(const uint8_t* response, uint32_t held) {
  uint32_t type = 0, code = 0;
  return read_le32(response, held, kMessageTypeOffset, &type) && type == MBIM_FUNCTION_ERROR_MSG &&
         read_le32(response, held, kErrorStatusCodeOffset, &code) && code == 0;
}

}  // namespace

void set_answer_timeout(uint32_t timeout_s) { g_answer_timeout_s = timeout_s; }

uint32_t answer_timeout() { return g_answer_timeout_s; }

uint32_t response_size(const uint8_t* response) {
  return get_le32(response + kMessageLengthOffset);
}

Status exchange(const uint8_t* request, uint32_t timeout_s, MessagePtr* response) {
  uint8_t* raw = nullptr;
  const Status sent = send_and_wait(request, &raw, timeout_s);
  response->reset(raw);
  // A modem just plugged in refuses everything until its function is opened.
  if (sent.ok() && needs_function_open(request, *response)) {
    return open_function_and_resend(request, timeout_s, response);
  }
  return sent;
}

Status finish_command(Status sent, MessagePtr response, Answer* answer) {
  Status s = sent;
  if (s.ok() && response) {
    const uint32_t held = response_size(response.get());
    if (cannot_be_judged(response.get(), held)) {
      s = Code::kMalformedAnswer;
    } else if (function_error_without_code(response.get(), held)) {
      LOG_TXT(LOG_NORMAL, "[tessel] MBIM_FUNCTION_ERROR_MSG status: (%s)", error_status_names[0]);
      s = Status::function_error(0);
    } else {
      s = decode_status(response.get(), held);
    }
  }
  if (!s.ok()) {
    // A refusal shows as err=0 and its Status; any other failure (a
    // function error without a code too) as its number and Status=0.
    const uint32_t status = s.mbim_status;
    LOG_NUM(LOG_NORMAL, "[tessel] err=%d, Status=%d", status != 0 ? 0 : legacy_result(s), status);
    return s;
  }
  if (answer == nullptr) return s;
  answer->info = nullptr;
  answer->length = 0;
  answer->declared = 0;
  if (response) {
    const uint32_t held = response_size(response.get());
    uint32_t claimed = 0;
    if (read_le32(response.get(), held, kInfoLengthOffset, &claimed) && claimed != 0 &&
        held > kInfoOffset) {
      const uint32_t present = held - static_cast<uint32_t>(kInfoOffset);
      answer->info = response.get() + kInfoOffset;
      answer->length = claimed < present ? claimed : present;
      answer->declared = claimed;
    }
  }
  answer->response = std::move(response);
  return s;
}

Status run_built_command(MessagePtr request, uint32_t timeout_s, Answer* answer) {
  MessagePtr response;
  const Status sent = exchange(request.get(), timeout_s, &response);
  return finish_command(sent, std::move(response), answer);
}

Status run_command(const CommandSpec& cmd, Answer* answer) {
  MessagePtr request =
      build_command(cmd.service, cmd.cid, cmd.command_type, cmd.payload, cmd.payload_length);
  MessagePtr response;
  const Status sent = exchange(request.get(), cmd.timeout_s, &response);
  const bool timed_out = sent.code == Code::kTimedOut;
  if (cmd.timed_out != nullptr) *cmd.timed_out = timed_out;
  if (timed_out && cmd.timeout_is_success) return Code::kOk;
  return finish_command(sent, std::move(response), answer);
}

}  // namespace tessel

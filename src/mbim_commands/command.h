// command.h — the exchange every protocol command runs, stated once.
//
// A command gives only its own values (service, CID, type, payload, timeout)
// and reads its answer; run_command does the rest:
//   1. build the request (build_command; an absent request is refused by
//      the transport with kNoChannel);
//   2. exchange it (send_and_wait with the command's timeout); a refusal
//      because the modem's MBIM function is closed opens it and sends the
//      command once more (function_open.h);
//   3. decode the response's status (decode_status);
//   4. on a failed exchange or a refusal, log "[tessel] err=%d, Status=%d"
//      (the exchange's number, or 0 and the modem's Status) and return the
//      exchange's Status, or else the refusal's;
//   5. otherwise hand the caller the InformationBuffer of the answer.
// The answer is bounded twice: by InformationBufferLength and by the bytes
// the response actually holds, so an answer that claims more than it carries
// is read only as far as it goes. A response too short to hold the status its
// type calls for (a COMMAND_DONE of fewer than 44 bytes, say) cannot be
// judged and fails the command with kMalformedAnswer; so does a COMMAND_DONE
// that ends inside its 48-byte header, whose InformationBufferLength is
// missing. An MBIM_FUNCTION_ERROR_MSG always fails, as kFunctionError with
// its ErrorStatusCode; one whose code is 0 is logged with the name
// "UNKNOW_0" and the number 71.
//
// The DIAG transfer, which must look for BUSY before the status is decoded
// and resends, uses the two halves, exchange() and finish_command(), itself.
#ifndef TESSEL_MBIM_COMMANDS_COMMAND_H_
#define TESSEL_MBIM_COMMANDS_COMMAND_H_

#include <cstdint>

#include "transport/exchange.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"

namespace tessel {

// How long a command waits for its answer unless it has a wait of its own
// (the apply's 3 s): kDefaultTimeoutSeconds until set_answer_timeout
// changes it (--timeout). Set it before the first command; read on the
// thread that sends.
void set_answer_timeout(uint32_t timeout_s);
uint32_t answer_timeout();

struct CommandSpec {
  Uuid service;                   // DeviceServiceId
  uint32_t cid;
  uint32_t command_type;          // kCommandQuery or kCommandSet
  const uint8_t* payload;         // null: payload_length zero bytes
  uint32_t payload_length;
  uint32_t timeout_s = answer_timeout();
  // The apply command counts a deadline that passes (kTimedOut) as success:
  // the modem may reset while applying and never answer. Only a request
  // written whole can time out; one the channel never took is kWriteFailed.
  bool timeout_is_success = false;
  // Set (when given) to whether the deadline passed: what timeout_is_success
  // turned into a success is then still known to have gone unanswered.
  bool* timed_out = nullptr;
};

// What a successful command has to read.
struct Answer {
  MessagePtr response;
  const uint8_t* info = nullptr;  // the InformationBuffer; null when empty
  uint32_t length = 0;            // its bytes that lie inside the response
  uint32_t declared = 0;          // its InformationBufferLength, as sent
};

// Runs one command; on success `*answer` holds the response and its bounded
// InformationBuffer (length 0: the answer carries no data).
Status run_command(const CommandSpec& cmd, Answer* answer);

// The same for a request the command built itself (build_command with no
// payload, fields then written into the zeroed InformationBuffer). A null
// request is refused by the transport with kNoChannel, like any absent one.
Status run_built_command(MessagePtr request, uint32_t timeout_s, Answer* answer);

// Sends `request` and waits, opening the modem's function when it was
// closed (step 2); on success `*response` owns the answer.
Status exchange(const uint8_t* request, uint32_t timeout_s, MessagePtr* response);

// Steps 3 to 5 for a response obtained by exchange(), which gave `sent`.
Status finish_command(Status sent, MessagePtr response, Answer* answer);

// Bytes held by a response copy from the transport: its MessageLength.
uint32_t response_size(const uint8_t* response);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_COMMAND_H_

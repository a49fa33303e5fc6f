// responder.cpp — turns one received MBIM message into the modem's response.
#include "modem_sim/responder.h"

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/mbim_messages.h"
#include "modem_sim/notes.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

Response reply(std::vector<uint8_t> message, uint32_t delay_ms) {
  Response r;
  r.send = true;
  r.message = std::move(message);
  r.delay_ms = delay_ms;
  return r;
}

Response answer_or_knob(SimState* state, Knobs* knobs, const CommandRequest& rq) {
  const uint32_t delay = knobs->delay_for_command(rq.cid);
  uint32_t late_status = 0;
  if (knobs->answer_late(rq.cid, &late_status)) {
    knobs->hold(rq.cid, command_done(rq, late_status, {}));
    return Response{};
  }
  KnobVerdict verdict = knobs->for_command(rq.cid);
  switch (verdict.action) {
    case KnobAction::kNoReply: return Response{};
    case KnobAction::kFunctionError:
      return reply(function_error(rq.transaction_id, verdict.value), delay);
    case KnobAction::kStatus: return reply(command_done(rq, verdict.value, {}), delay);
    case KnobAction::kAnswer: break;
  }
  if (rq.command_type != kCommandQuery && rq.command_type != kCommandSet) {
    note("CID %u: CommandType %u is neither query (0) nor set (1)", rq.cid, rq.command_type);
    return reply(command_done(rq, kStatusFailure, {}), delay);
  }
  Answer answer = answer_command(state, rq);
  return reply(command_done(rq, answer.status, answer.info), delay);
}

Response respond_to_command(SimState* state, Knobs* knobs, const uint8_t* message,
                            size_t length) {
  CommandRequest rq;
  const char* why = "";
  uint32_t error = parse_command(message, length, &rq, &why);
  if (error != 0) {
    note("command TransactionId %u refused with MBIM_FUNCTION_ERROR_MSG %u: %s",
         rq.transaction_id, error, why);
    return reply(function_error(rq.transaction_id, error), knobs->delay_for_other());
  }
  // An answer held back earlier goes out just ahead of whatever this
  // request gets, silence included.
  std::vector<uint8_t> earlier = knobs->take_held(rq.cid);
  Response r = answer_or_knob(state, knobs, rq);
  r.late = std::move(earlier);
  if (!r.late.empty()) r.send = true;
  return r;
}

}  // namespace

Response respond(SimState* state, Knobs* knobs, const uint8_t* message, size_t length) {
  uint32_t type = 0;
  uint32_t transaction_id = 0;
  read_le32(message, length, kMessageTypeOffset, &type);
  read_le32(message, length, kTransactionIdOffset, &transaction_id);
  switch (type) {
    case MBIM_OPEN_MSG:
    case MBIM_CLOSE_MSG: {
      const size_t expected = type == MBIM_OPEN_MSG ? kOpenMessageSize : kCloseMessageSize;
      if (length != expected) {
        note("%s of %zu bytes, expected %zu: LENGTH_MISMATCH",
             type == MBIM_OPEN_MSG ? "MBIM_OPEN_MSG" : "MBIM_CLOSE_MSG", length, expected);
        return reply(function_error(transaction_id, kErrorLengthMismatch),
                     knobs->delay_for_other());
      }
      note("%s, TransactionId %u", type == MBIM_OPEN_MSG ? "MBIM_OPEN_MSG" : "MBIM_CLOSE_MSG",
           transaction_id);
      // Without --closed the function never closes: a close leaves it open,
      // as the simulator has always behaved.
      if (type == MBIM_OPEN_MSG) {
        state->function_open = true;
      } else if (state->options.closed) {
        state->function_open = false;
      }
      const uint32_t done = type == MBIM_OPEN_MSG ? MBIM_OPEN_DONE : MBIM_CLOSE_DONE;
      return reply(open_close_done(done, transaction_id, kStatusSuccess),
                   knobs->delay_for_other());
    }
    case MBIM_COMMAND_MSG:
      // A closed function refuses every command, whatever it asks and
      // whatever the knobs say, until the host opens it.
      if (!state->function_open) {
        note("command TransactionId %u refused with MBIM_FUNCTION_ERROR_MSG 5 (NOT_OPENED): "
             "the function is closed (--closed)",
             transaction_id);
        return reply(function_error(transaction_id, kErrorNotOpened), knobs->delay_for_other());
      }
      return respond_to_command(state, knobs, message, length);
    default:
      note("message type %08x (%zu bytes) needs no answer; ignored", type, length);
      return Response{};
  }
}

}  // namespace tessel::sim

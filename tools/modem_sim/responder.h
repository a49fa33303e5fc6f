// responder.h — what the modem sends back for one received message: the
// reply, or nothing, after the fault knobs have had their say.
#ifndef TESSEL_TOOLS_MODEM_SIM_RESPONDER_H_
#define TESSEL_TOOLS_MODEM_SIM_RESPONDER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "modem_sim/knobs.h"
#include "modem_sim/sim_state.h"

namespace tessel::sim {

struct Response {
  bool send = false;             // false: the modem stays silent
  std::vector<uint8_t> message;  // the reply, when sent
  uint32_t delay_ms = 0;         // to wait before sending it
  std::vector<uint8_t> late;     // --late: an earlier answer, sent (in a write of its own) first
};

// The response to the whole MBIM message `message` of `length` bytes
// (MessageLength already checked to be `length`).
//   MBIM_OPEN_MSG / MBIM_CLOSE_MSG: MBIM_OPEN_DONE / MBIM_CLOSE_DONE, Status 0;
//     the open opens the function, the close closes it under --closed.
//   MBIM_COMMAND_MSG: while the function is closed, MBIM_FUNCTION_ERROR_MSG
//     NOT_OPENED (5); a malformed header gets MBIM_FUNCTION_ERROR_MSG; then
//     the knobs; then the service's answer (services.h).
//   Anything else (host error, modem-to-host types): no reply, a note.
Response respond(SimState* state, Knobs* knobs, const uint8_t* message, size_t length);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_RESPONDER_H_

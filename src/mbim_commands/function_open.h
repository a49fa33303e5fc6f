// function_open.h — opening the modem's MBIM function when a command finds
// it closed.
//
// A modem's MBIM function is closed from plug-in until the host sends
// MBIM_OPEN_MSG, and it refuses every command meanwhile with an
// MBIM_FUNCTION_ERROR_MSG NOT_OPENED (5). The udev rule starts the tool
// within a second of the plug, before anyone else has opened it. So when a
// command on the device node is refused that way, the tool opens the
// function itself and sends the command again, once:
//   "[tessel] the modem's MBIM function was closed; opening it"   (level 2)
//   MBIM_OPEN_MSG, MaxControlTransfer 4096, the next TransactionId, waited
//   for as long as the command; only an MBIM_OPEN_DONE with Status 0 opens;
//   then one of
//   "[tessel] the modem's MBIM function is open; sending the command again"
//                                                                  (level 2)
//   "[tessel] the modem's MBIM function did not open: err=%d, Status=%d"
//                                                                  (level 8)
// The command goes again as a copy with the next TransactionId. When the open
// fails, the command's own refusal stands and fails it as before; a second
// refusal after the open is the command's answer. The function is left open
// for whoever talks to the modem next: the tool never closes it.
//
// Only on the device node: through mbim-proxy, the proxy opens the device
// itself, and an MBIM_OPEN_MSG from a client would reach its own session.
// A modem whose function is open sees exactly the messages it always saw.
#ifndef TESSEL_MBIM_COMMANDS_FUNCTION_OPEN_H_
#define TESSEL_MBIM_COMMANDS_FUNCTION_OPEN_H_

#include <cstdint>

#include "mbim_format/mbim_message.h"
#include "mbim_format/status.h"

namespace tessel {

// MBIM_OPEN_MSG (16 bytes, MaxControlTransfer 4096) or MBIM_CLOSE_MSG
// (12 bytes), `type` telling which, with the next TransactionId; null when
// the block cannot be allocated.
MessagePtr build_open_or_close(uint32_t type);

// True when `response` is an MBIM_FUNCTION_ERROR_MSG NOT_OPENED refusing the
// MBIM_COMMAND_MSG `request`, and the channel is the device node.
bool needs_function_open(const uint8_t* request, const MessagePtr& response);

// Opens the function and, once it is open, sends a copy of `request` with a
// fresh TransactionId, waiting up to `timeout_s` for each. Returns the
// exchange's Status for the copy, with its answer in `*response`; when the
// function did not open (or the copy cannot be made), returns ok and leaves
// `*response`, the refusal, as it was.
Status open_function_and_resend(const uint8_t* request, uint32_t timeout_s, MessagePtr* response);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_FUNCTION_OPEN_H_

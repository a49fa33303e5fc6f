// at_command.h — one AT command through the modem's MBIM AT tunnel.
//
// Request: service 6427015f-579d-48f5-8c54-f43ed1e76f83, CID 8, set, with
//   0  u32 0       4  the command's bytes (no NUL, no CR/LF added)
// Answer:
//   0  u32, never examined    4  the reply text, not necessarily terminated
// The reply is the text after the leading word up to its first NUL or the
// end of the answer; an answer of 1 to 3 bytes gives an empty reply.
//
// Besides logging, this is the one command that prints: "Send > %s\n" before
// the exchange and "Recv < %s\n" once a reply arrives, on standard output.
#ifndef TESSEL_MBIM_COMMANDS_AT_COMMAND_H_
#define TESSEL_MBIM_COMMANDS_AT_COMMAND_H_

#include "mbim_format/status.h"

namespace tessel {

constexpr unsigned kAtCid = 8;
constexpr unsigned kAtReplySize = 8192;

// Sends `command`. On success `*reply` (when given) points at the reply text
// in a process-wide buffer that the next call overwrites, or is null when the
// answer carried no data. On failure `*reply` is null. Returns ok, the
// exchange's failure, or the modem's refusal.
Status mbim_send_at(const char* command, const char** reply);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_AT_COMMAND_H_

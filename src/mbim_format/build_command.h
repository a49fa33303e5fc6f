// build_command.h — one MBIM_COMMAND_MSG from (service, CID, type, payload).
//
// The message is 48 + n bytes: the header with the next TransactionId, one
// fragment, the service's 16 bytes, CID, CommandType, InformationBufferLength
// n, then the payload — or n zero bytes when no payload is given, for
// commands that write their fields into the zeroed InformationBuffer.
#ifndef TESSEL_MBIM_FORMAT_BUILD_COMMAND_H_
#define TESSEL_MBIM_FORMAT_BUILD_COMMAND_H_

#include <cstdint>

#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"

namespace tessel {

// Returns the message, or null when it cannot be allocated (also when 48 + n
// does not fit a 32-bit MessageLength).
MessagePtr build_command(const Uuid& service, uint32_t cid, uint32_t command_type,
                         const uint8_t* payload, uint32_t n);

// The InformationBuffer of a message built above.
inline uint8_t* info_buffer(const MessagePtr& msg) { return msg.get() + kInfoOffset; }

// Shrinks the recorded InformationBufferLength (and MessageLength) of a
// request built with room to spare, e.g. for a DIAG frame shorter than its
// worst case. The block keeps its size; only the first 48 + n bytes travel.
void set_info_length(uint8_t* msg, uint32_t n);

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_BUILD_COMMAND_H_

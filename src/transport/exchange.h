// exchange.h — one request out, its response back: what the protocol layer
// needs of the transport.
//
// The request belongs to the caller throughout. On success the caller owns
// `*response`, a copy of the message whose TransactionId equals the
// request's, MessageLength + 1 bytes from the C allocator; it frees it.
#ifndef TESSEL_TRANSPORT_EXCHANGE_H_
#define TESSEL_TRANSPORT_EXCHANGE_H_

#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

constexpr uint32_t kDefaultTimeoutSeconds = 30;

// Sends `request` and waits up to `timeout_s` seconds (0: practically for
// ever) for the message with the same TransactionId.
// Returns ok; kNoChannel (no request, no channel, or woken without a
// response); kWriteFailed when the request was not written whole (a failed
// or short write, or a channel still busy at the deadline); or kTimedOut
// when the deadline passes after the whole request was written: only then
// may the modem have it.
Status send_and_wait(const uint8_t* request, uint8_t** response, uint32_t timeout_s);

// send_and_wait with the default 30 seconds.
Status send_request(const uint8_t* request, uint8_t** response);

// Waits up to `timeout_s` seconds for anything to signal the transport: a
// delivered response or the reader's end. Ok, or kTimedOut with the wait's
// error.
Status wait_indication(uint32_t timeout_s);

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_EXCHANGE_H_

// exchange.h — one request out, its response back: what the protocol layer
// needs of the transport.
//
// The request belongs to the caller throughout. On 0 the caller owns
// `*response`, a copy of the message whose TransactionId equals the
// request's, MessageLength + 1 bytes from the C allocator; it frees it.
#ifndef TESSEL_MBIM_CTX_EXCHANGE_H_
#define TESSEL_MBIM_CTX_EXCHANGE_H_

#include <cstdint>

namespace tessel {

constexpr uint32_t kDefaultTimeoutSeconds = 30;

// Sends `request` and waits up to `timeout_s` seconds (0: practically for
// ever) for the message with the same TransactionId.
// Returns 0; -19 (no request, no channel, or woken without a response); -1
// when the request was not written whole (a failed or short write, or a
// channel still busy at the deadline); or 110 when the deadline passes
// after the whole request was written: only then may the modem have it.
int send_and_wait(const uint8_t* request, uint8_t** response, uint32_t timeout_s);

// send_and_wait with the default 30 seconds.
int send_request(const uint8_t* request, uint8_t** response);

// Waits up to `timeout_s` seconds for anything to signal the transport: a
// delivered response or the reader's end. 0, or the wait's error (110).
int wait_indication(uint32_t timeout_s);

}  // namespace tessel

#endif  // TESSEL_MBIM_CTX_EXCHANGE_H_

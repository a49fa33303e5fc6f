// wait_notice.h — a word to the operator when the modem is slow to answer.
//
// A request waits up to 30 seconds (or --timeout's) for its answer, and the
// log says nothing until the deadline passes. So once a request has waited
// kWaitNoticeSeconds, one line goes to standard error, saying what waits and
// until when:
//   tessel: the modem has not answered request 7 (uuid_qmbe CID 22) for 5 s; waiting until 14:03:27
// It is said once per request, never repeated, and never for a wait shorter
// than that (the apply's 3 s).
#ifndef TESSEL_TRANSPORT_WAIT_NOTICE_H_
#define TESSEL_TRANSPORT_WAIT_NOTICE_H_

#include <cstdint>
#include <ctime>

namespace tessel {

constexpr uint32_t kWaitNoticeSeconds = 5;

// True when `a` comes before `b`.
bool earlier(const timespec& a, const timespec& b);

// The line, for `request` (`length` bytes, as written) that waits until
// `deadline` (CLOCK_MONOTONIC), shown as local wall-clock time. Call it under
// the transport lock: the service's name comes from the dump's UUID text
// buffer, which only holders of that lock use.
void say_still_waiting(const uint8_t* request, uint32_t length, const timespec& deadline);

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_WAIT_NOTICE_H_

// deadline.h — absolute deadlines on CLOCK_MONOTONIC for the condition waits.
//
// The timeout is whole seconds, turned into milliseconds in 32-bit unsigned
// arithmetic (so it wraps above 4294967 s, as the modem tools always have);
// 0 means the longest 32-bit millisecond count, about 49.7 days: practically
// for ever. Wall-clock changes neither lengthen nor shorten a wait.
#ifndef TESSEL_TRANSPORT_DEADLINE_H_
#define TESSEL_TRANSPORT_DEADLINE_H_

#include <cstdint>
#include <ctime>

namespace tessel {

// The offset a timeout of `timeout_s` seconds stands for.
timespec timeout_offset(uint32_t timeout_s);

// `now` plus the offset, nanoseconds normalised below one second.
timespec deadline_from(timespec now, uint32_t timeout_s);

// The deadline from the current CLOCK_MONOTONIC time.
timespec deadline_after(uint32_t timeout_s);

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_DEADLINE_H_

// timestamp.h — a local time as "MM-DD_hh:mm:ss:mmm".
#ifndef TESSEL_TRANSPORT_TIMESTAMP_H_
#define TESSEL_TRANSPORT_TIMESTAMP_H_

#include <ctime>

namespace tessel {

// A wall-clock time, into `out` of `size` characters.
// Milliseconds are rounded to the nearest; 1000 carries into the seconds.
void format_timestamp(time_t seconds, long microseconds, char* out, size_t size);

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_TIMESTAMP_H_

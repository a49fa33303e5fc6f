// timestamp.h — the local time as "MM-DD_hh:mm:ss:mmm" for log lines.
#ifndef TESSEL_MBIM_CTX_TIMESTAMP_H_
#define TESSEL_MBIM_CTX_TIMESTAMP_H_

#include <ctime>

namespace tessel {

// The current local time, in the context's 50-character buffer; each call
// overwrites the previous text.
const char* timestamp_text();

// The same for a given wall-clock time, into `out` of `size` characters.
// Milliseconds are rounded to the nearest; 1000 carries into the seconds.
void format_timestamp(time_t seconds, long microseconds, char* out, size_t size);

}  // namespace tessel

#endif  // TESSEL_MBIM_CTX_TIMESTAMP_H_

// record_sink.h — the one thing each log library of this tree supplies.
//
// entry_points.cpp defines the platform library's C calls (libdiag.h) once:
// it drops records without a description, gathers each record's 32-bit
// values and hands the record to take_words or take_args. Every binary links
// exactly one sink that defines those two, beside its own Diag_LSM_Init and
// Diag_LSM_DeInit: the host stand-in (stderr_log.cpp), the tests' capturing
// double, and the discarding logs of the benchmarks and the fuzz targets.
// A target build links the platform's own library and none of these.
#ifndef TESSEL_PLATFORM_RECORD_SINK_H_
#define TESSEL_PLATFORM_RECORD_SINK_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "libdiag.h"

namespace libdiag {

// Which call sent the record.
enum class Call { kSend, kSend1, kSend2, kSend3, kSendVar, kSprintf };

// The most values kept of one msg_send_var; no record of the tool has more
// than eight.
constexpr size_t kMaxWords = 64;

// A record sent as words: `held` values in `words` (min(count, kMaxWords)),
// `count` as the caller gave it (1 to 3 for msg_send_N, 0 for msg_send).
void take_words(const msg_const_type* rec, Call call, const uint32_t* words, size_t held,
                uint32_t count);

// A record of msg_sprintf, with its printf arguments.
void take_args(const msg_const_type* rec, va_list args);

}  // namespace libdiag

#endif  // TESSEL_PLATFORM_RECORD_SINK_H_

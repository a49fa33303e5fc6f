// record_line.h — one record as the line the host stand-in writes:
//   E src/main:57 [tessel] Init err=-1
// "E" for the error level (mask 8), "I" for any other, then the call site and
// the formatted text with the format's trailing newlines dropped, then "\n".
// Built in a stack buffer (a heap block only for a line too long for it) and
// handed to `emit` whole, with its record; nothing here needs the C++ runtime.
#ifndef TESSEL_PLATFORM_RECORD_LINE_H_
#define TESSEL_PLATFORM_RECORD_LINE_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "libdiag.h"

namespace libdiag {

using EmitLine = void (*)(const msg_const_type* rec, const char* line, size_t length);

// The syslog priority of a record, for a sink that writes to the journal:
// 3 (err) for the error level (mask 8), 7 (debug) for the message dump
// (source file "src/mbim_dump", written only in verbose mode), 6 (info) for
// every other record.
int record_priority(const msg_const_type* rec);

void line_of_words(const msg_const_type* rec, const uint32_t* words, size_t count, EmitLine emit);
void line_of_args(const msg_const_type* rec, va_list args, EmitLine emit);

// Where a finished line goes, for a log library built on line_sink.cpp:
// defined by that library (stderr_log.cpp, the benchmarks' discard_log.cpp).
void emit_line(const msg_const_type* rec, const char* line, size_t length);

}  // namespace libdiag

#endif  // TESSEL_PLATFORM_RECORD_LINE_H_

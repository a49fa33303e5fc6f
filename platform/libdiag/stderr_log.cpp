// stderr_log.cpp — host stand-in for the platform's libdiag.so.1.
//
// Writes every record to standard error as one line (record_line.h) through
// line_sink.cpp. One fwrite per record: stdio's own lock keeps lines from the
// main thread and the reader thread whole.
#include <cstdio>

#include "record_line.h"

void libdiag::emit_line(const char* line, size_t length) { std::fwrite(line, 1, length, stderr); }

// line_sink.cpp — the sink (record_sink.h) of the log libraries that turn
// each record into the stand-in's line (record_line.h) and pass it to their
// emit_line: standard error for the host stand-in, nowhere for the
// benchmarks.
#include "libdiag.h"
#include "record_line.h"
#include "record_sink.h"

namespace libdiag {

void take_words(const msg_const_type* rec, Call, const uint32_t* words, size_t held, uint32_t) {
  line_of_words(rec, words, held, emit_line);
}

void take_args(const msg_const_type* rec, va_list args) { line_of_args(rec, args, emit_line); }

}  // namespace libdiag

extern "C" {

unsigned char Diag_LSM_Init(unsigned char*) { return 1; }
unsigned char Diag_LSM_DeInit(void) { return 1; }

}  // extern "C"

// capture_log.h — a libdiag double that keeps every record in memory.
//
// Test binaries link capture_log.cpp in place of the platform library (or its
// stderr stand-in), then assert on what each record carried: which call wrote
// it, its level, source file, format, 32-bit values and formatted text.
// Safe to call from the reader thread and the main thread at once.
#ifndef TESSEL_TESTS_CAPTURE_LOG_H_
#define TESSEL_TESTS_CAPTURE_LOG_H_

#include <cstdint>
#include <string>
#include <vector>

#include "record_sink.h"

namespace capture_log {

// Which call sent a record.
using Call = libdiag::Call;

struct Record {
  Call call;
  uint16_t line;
  uint16_t ss_id;
  uint32_t level;
  std::string file;
  std::string format;
  std::vector<uint32_t> values;  // empty for msg_sprintf
  uint32_t var_count;            // the count given to msg_send_var
  std::string text;              // formatted, trailing newlines kept
};

std::vector<Record> records();
void clear();

// Formats of the records so far, in order.
std::vector<std::string> formats();
// Formatted texts of the records so far, in order.
std::vector<std::string> texts();
// Records whose format equals fmt.
std::vector<Record> with_format(const std::string& fmt);

// What Diag_LSM_Init answers next (default: success), and how often the
// channel was opened and closed.
void set_init_result(bool ok);
int init_calls();
int deinit_calls();

}  // namespace capture_log

#endif  // TESSEL_TESTS_CAPTURE_LOG_H_

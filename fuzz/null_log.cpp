// null_log.cpp — the log library the fuzz targets link: every record is
// formatted as the host stand-in formats it, checked, and then discarded.
//
// Keeping records (as the tests' capturing double does) would grow without
// bound over millions of inputs; formatting them still runs every format
// against the values a hostile message put there, under the sanitizers.
//
// The check: a record sent as words (msg_send .. msg_send_var) must carry
// exactly one word per conversion of its format, and no conversion that a
// word cannot carry (%s, %n). The platform library formats on its side from
// the words alone, so such a mismatch prints garbage on the target; here it
// stops the fuzzer with a trap at the call that made it.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

#include "libdiag.h"
#include "record_sink.h"
#include "record_text.h"

namespace {

bool is_flag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_length(char c) {
  return c == 'h' || c == 'l' || c == 'z' || c == 'j' || c == 't' || c == 'L' || c == 'q';
}

// Conversions in `fmt` that take a value, or -1 when one of them cannot be
// taken from a 32-bit word (or the format ends inside a conversion).
int word_conversions(const char* fmt) {
  int count = 0;
  for (const char* p = fmt; *p != '\0'; ++p) {
    if (*p != '%') continue;
    if (p[1] == '%') {
      ++p;
      continue;
    }
    const char* q = p + 1;
    while (is_flag(*q)) ++q;
    if (*q == '*') return -1;  // a width taken from the values: never used
    while (is_digit(*q)) ++q;
    if (*q == '.') {
      ++q;
      while (is_digit(*q)) ++q;
    }
    while (is_length(*q)) ++q;
    switch (*q) {
      case 'd': case 'i': case 'u': case 'x': case 'X': case 'o': case 'c': case 'p':
        ++count;
        break;
      default:
        return -1;
    }
    p = q;
  }
  return count;
}

// Keeps the optimiser from dropping the formatting as dead work.
volatile size_t g_formatted_bytes = 0;

}  // namespace

namespace libdiag {

void take_words(const msg_const_type* rec, Call, const uint32_t* words, size_t held,
                uint32_t count) {
  if (rec->fmt == nullptr) __builtin_trap();
  if (held != count || word_conversions(rec->fmt) != static_cast<int>(count)) __builtin_trap();
  g_formatted_bytes = g_formatted_bytes + format_words_into(nullptr, 0, rec->fmt, words, held);
}

void take_args(const msg_const_type* rec, va_list args) {
  if (rec->fmt == nullptr) __builtin_trap();
  g_formatted_bytes = g_formatted_bytes + format_record_args(rec->fmt, args).size();
}

}  // namespace libdiag

extern "C" {

unsigned char Diag_LSM_Init(unsigned char*) { return 1; }
unsigned char Diag_LSM_DeInit(void) { return 1; }

}  // extern "C"

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

void words(const msg_const_type* rec, const uint32_t* w, size_t count) {
  if (rec == nullptr || rec->fmt == nullptr) __builtin_trap();
  if (word_conversions(rec->fmt) != static_cast<int>(count)) __builtin_trap();
  g_formatted_bytes = g_formatted_bytes + libdiag::format_record_words(rec->fmt, w, count).size();
}

}  // namespace

extern "C" {

unsigned char Diag_LSM_Init(unsigned char*) { return 1; }
unsigned char Diag_LSM_DeInit(void) { return 1; }

void msg_send(const msg_const_type* rec) { words(rec, nullptr, 0); }

void msg_send_1(const msg_const_type* rec, uint32_t a) {
  const uint32_t w[] = {a};
  words(rec, w, 1);
}

void msg_send_2(const msg_const_type* rec, uint32_t a, uint32_t b) {
  const uint32_t w[] = {a, b};
  words(rec, w, 2);
}

void msg_send_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c) {
  const uint32_t w[] = {a, b, c};
  words(rec, w, 3);
}

void msg_send_var(const msg_const_type* rec, uint32_t count, ...) {
  // No record of the tool carries more than eight values.
  constexpr uint32_t kMaxWords = 16;
  if (count > kMaxWords) __builtin_trap();
  uint32_t w[kMaxWords];
  va_list ap;
  va_start(ap, count);
  for (uint32_t i = 0; i < count; ++i) w[i] = va_arg(ap, uint32_t);
  va_end(ap);
  words(rec, w, count);
}

void msg_sprintf(const msg_const_type* rec, ...) {
  if (rec == nullptr || rec->fmt == nullptr) __builtin_trap();
  va_list ap;
  va_start(ap, rec);
  g_formatted_bytes = g_formatted_bytes + libdiag::format_record_args(rec->fmt, ap).size();
  va_end(ap);
}

}  // extern "C"

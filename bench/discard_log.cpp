// discard_log.cpp — the benchmarks' log library: every record is formatted
// exactly as the host stand-in (platform/libdiag/stderr_log.cpp) formats it,
// line prefix included, and then dropped instead of written.
//
// What a record costs the tool is then the formatting alone, with no write
// to a terminal or file to drown it.
#include <cstdarg>
#include <cstdint>
#include <string>

#include "libdiag.h"
#include "record_text.h"

namespace {

constexpr uint32_t kErrorMask = 8;

// Every finished line's length lands here, so the compiler cannot drop the
// formatting as dead work.
volatile size_t g_discarded = 0;

void discard_line(const msg_const_type* rec, std::string text) {
  if (rec == nullptr) return;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  std::string line;
  line.reserve(text.size() + 32);
  line += (rec->ss_mask & kErrorMask) ? 'E' : 'I';
  line += ' ';
  line += rec->fname != nullptr ? rec->fname : "?";
  line += ':';
  line += std::to_string(rec->line);
  line += ' ';
  line += text;
  line += '\n';
  g_discarded = g_discarded + line.size();
}

void send_words(const msg_const_type* rec, const uint32_t* words, size_t count) {
  if (rec == nullptr) return;
  discard_line(rec, libdiag::format_record_words(rec->fmt, words, count));
}

}  // namespace

extern "C" {

unsigned char Diag_LSM_Init(unsigned char*) { return 1; }
unsigned char Diag_LSM_DeInit(void) { return 1; }

void msg_send(const msg_const_type* rec) { send_words(rec, nullptr, 0); }

void msg_send_1(const msg_const_type* rec, uint32_t a) {
  const uint32_t w[] = {a};
  send_words(rec, w, 1);
}

void msg_send_2(const msg_const_type* rec, uint32_t a, uint32_t b) {
  const uint32_t w[] = {a, b};
  send_words(rec, w, 2);
}

void msg_send_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c) {
  const uint32_t w[] = {a, b, c};
  send_words(rec, w, 3);
}

void msg_send_var(const msg_const_type* rec, uint32_t count, ...) {
  uint32_t w[16];
  const uint32_t n = count < 16 ? count : 16;
  va_list ap;
  va_start(ap, count);
  for (uint32_t i = 0; i < n; ++i) w[i] = va_arg(ap, uint32_t);
  va_end(ap);
  send_words(rec, w, n);
}

void msg_sprintf(const msg_const_type* rec, ...) {
  if (rec == nullptr) return;
  va_list ap;
  va_start(ap, rec);
  std::string text = libdiag::format_record_args(rec->fmt, ap);
  va_end(ap);
  discard_line(rec, std::move(text));
}

}  // extern "C"

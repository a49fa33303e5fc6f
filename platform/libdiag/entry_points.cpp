// entry_points.cpp — the platform library's record calls, in front of a sink
// (record_sink.h).
#include <cstdarg>
#include <cstdint>

#include "libdiag.h"
#include "record_sink.h"

using libdiag::Call;

extern "C" {

void msg_send(const msg_const_type* rec) {
  if (rec != nullptr) libdiag::take_words(rec, Call::kSend, nullptr, 0, 0);
}

void msg_send_1(const msg_const_type* rec, uint32_t a) {
  const uint32_t w[] = {a};
  if (rec != nullptr) libdiag::take_words(rec, Call::kSend1, w, 1, 1);
}

void msg_send_2(const msg_const_type* rec, uint32_t a, uint32_t b) {
  const uint32_t w[] = {a, b};
  if (rec != nullptr) libdiag::take_words(rec, Call::kSend2, w, 2, 2);
}

void msg_send_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c) {
  const uint32_t w[] = {a, b, c};
  if (rec != nullptr) libdiag::take_words(rec, Call::kSend3, w, 3, 3);
}

void msg_send_var(const msg_const_type* rec, uint32_t count, ...) {
  if (rec == nullptr) return;
  // A count beyond what the buffer holds is a caller's fault: no more is read.
  uint32_t w[libdiag::kMaxWords];
  const size_t held = count < libdiag::kMaxWords ? count : libdiag::kMaxWords;
  va_list ap;
  va_start(ap, count);
  for (size_t i = 0; i < held; ++i) w[i] = va_arg(ap, uint32_t);
  va_end(ap);
  libdiag::take_words(rec, Call::kSendVar, w, held, count);
}

void msg_sprintf(const msg_const_type* rec, ...) {
  if (rec == nullptr) return;
  va_list ap;
  va_start(ap, rec);
  libdiag::take_args(rec, ap);
  va_end(ap);
}

}  // extern "C"

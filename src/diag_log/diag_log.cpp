// diag_log.cpp — the record calls behind LOG_MSG, LOG_NUM and table rows (diag_log.h),
// with --quiet's check made once here rather than at every call site.
#include "diag_log/diag_log.h"

namespace tessel {

void send_record(const msg_const_type* rec) {
  if (log_level_shown(rec->ss_mask)) msg_send(rec);
}

void send_record_1(const msg_const_type* rec, uint32_t a) {
  if (log_level_shown(rec->ss_mask)) msg_send_1(rec, a);
}

void send_record_2(const msg_const_type* rec, uint32_t a, uint32_t b) {
  if (log_level_shown(rec->ss_mask)) msg_send_2(rec, a, b);
}

void send_record_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c) {
  if (log_level_shown(rec->ss_mask)) msg_send_3(rec, a, b, c);
}

void send_text_record(const msg_const_type* rec, const char* text) {
  if (log_level_shown(rec->ss_mask)) msg_sprintf(rec, text);
}

}  // namespace tessel

// capture_log.cpp — see capture_log.h.
#include "capture_log.h"

#include <cstdarg>
#include <mutex>

#include "libdiag.h"
#include "record_sink.h"
#include "record_text.h"

namespace capture_log {
namespace {

std::mutex g_mu;
std::vector<Record> g_records;
bool g_init_ok = true;
int g_inits = 0;
int g_deinits = 0;

void keep(const msg_const_type* rec, Call call, std::vector<uint32_t> values, uint32_t var_count,
          std::string text) {
  Record r;
  r.call = call;
  r.line = rec->line;
  r.ss_id = rec->ss_id;
  r.level = rec->ss_mask;
  r.file = rec->fname != nullptr ? rec->fname : "";
  r.format = rec->fmt != nullptr ? rec->fmt : "";
  r.values = std::move(values);
  r.var_count = var_count;
  r.text = std::move(text);
  std::lock_guard<std::mutex> lock(g_mu);
  g_records.push_back(std::move(r));
}

void keep_words(const msg_const_type* rec, Call call, std::vector<uint32_t> words, uint32_t count) {
  std::string text = libdiag::format_record_words(rec->fmt, words.data(), words.size());
  keep(rec, call, std::move(words), count, std::move(text));
}

}  // namespace

std::vector<Record> records() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_records;
}

void clear() {
  std::lock_guard<std::mutex> lock(g_mu);
  g_records.clear();
}

std::vector<std::string> formats() {
  std::vector<std::string> out;
  for (const Record& r : records()) out.push_back(r.format);
  return out;
}

std::vector<std::string> texts() {
  std::vector<std::string> out;
  for (const Record& r : records()) out.push_back(r.text);
  return out;
}

std::vector<Record> with_format(const std::string& fmt) {
  std::vector<Record> out;
  for (const Record& r : records())
    if (r.format == fmt) out.push_back(r);
  return out;
}

void set_init_result(bool ok) {
  std::lock_guard<std::mutex> lock(g_mu);
  g_init_ok = ok;
}

int init_calls() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_inits;
}

int deinit_calls() {
  std::lock_guard<std::mutex> lock(g_mu);
  return g_deinits;
}

}  // namespace capture_log

namespace libdiag {

void take_words(const msg_const_type* rec, Call call, const uint32_t* words, size_t held,
                uint32_t count) {
  capture_log::keep_words(rec, call, std::vector<uint32_t>(words, words + held), count);
}

void take_args(const msg_const_type* rec, va_list args) {
  capture_log::keep(rec, Call::kSprintf, {}, 0, format_record_args(rec->fmt, args));
}

}  // namespace libdiag

extern "C" {

unsigned char Diag_LSM_Init(unsigned char*) {
  std::lock_guard<std::mutex> lock(capture_log::g_mu);
  ++capture_log::g_inits;
  return capture_log::g_init_ok ? 1 : 0;
}

unsigned char Diag_LSM_DeInit(void) {
  std::lock_guard<std::mutex> lock(capture_log::g_mu);
  ++capture_log::g_deinits;
  return 1;
}

}  // extern "C"

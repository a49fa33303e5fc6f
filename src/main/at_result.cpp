// at_result.cpp — see at_result.h.
#include "main/at_result.h"

#include <cstring>

namespace tessel {
namespace {

bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }

// The code after an error prefix: a whole number, else -1 (some modems
// answer in words, "+CME ERROR: SIM not inserted").
long error_code(const char* p, const char* end) {
  while (p < end && is_blank(*p)) ++p;
  long code = 0;
  const char* digits = p;
  for (; p < end && *p >= '0' && *p <= '9'; ++p) {
    if (code > 100000000) return -1;
    code = code * 10 + (*p - '0');
  }
  while (p < end && is_blank(*p)) ++p;
  return p == digits || p != end ? -1 : code;
}

bool line_is(const char* begin, const char* end, const char* text) {
  const size_t n = std::strlen(text);
  return static_cast<size_t>(end - begin) == n && std::memcmp(begin, text, n) == 0;
}

bool line_starts(const char* begin, const char* end, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return static_cast<size_t>(end - begin) >= n && std::memcmp(begin, prefix, n) == 0;
}

}  // namespace

void classify_at_reply(const char* reply, AtOutcome* o) {
  o->result = AtResult::kError;
  o->final = nullptr;
  o->code = -1;
  if (reply == nullptr) return;
  // The last non-empty line, trailing blanks dropped.
  const char* end = reply + std::strlen(reply);
  while (end > reply && (is_line_end(end[-1]) || is_blank(end[-1]))) --end;
  const char* begin = end;
  while (begin > reply && !is_line_end(begin[-1])) --begin;
  while (begin < end && is_blank(*begin)) ++begin;
  if (line_is(begin, end, "OK")) {
    o->result = AtResult::kOk;
    o->final = "OK";
  } else if (line_is(begin, end, "ERROR")) {
    o->final = "ERROR";
  } else if (line_starts(begin, end, "+CME ERROR:")) {
    o->final = "CME_ERROR";
    o->code = error_code(begin + 11, end);
  } else if (line_starts(begin, end, "+CMS ERROR:")) {
    o->final = "CMS_ERROR";
    o->code = error_code(begin + 11, end);
  }
}

}  // namespace tessel

// record_text.cpp — see record_text.h.
#include "record_text.h"

#include <cstdio>
#include <cstring>

namespace libdiag {
namespace {

bool is_flag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool is_length(char c) {
  return c == 'h' || c == 'l' || c == 'z' || c == 'j' || c == 't' || c == 'L' || c == 'q';
}

}  // namespace

std::string format_record_words(const char* fmt, const uint32_t* words, size_t count) {
  std::string out;
  if (fmt == nullptr) return out;
  size_t next = 0;
  const char* p = fmt;
  while (*p != '\0') {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    if (p[1] == '%') {
      out.push_back('%');
      p += 2;
      continue;
    }
    // Copy "%[flags][width][.precision]" into conversion, skip length modifiers,
    // then append the conversion without them.
    std::string conversion = "%";
    const char* q = p + 1;
    while (is_flag(*q)) conversion.push_back(*q++);
    while (*q >= '0' && *q <= '9') conversion.push_back(*q++);
    if (*q == '.') {
      conversion.push_back(*q++);
      while (*q >= '0' && *q <= '9') conversion.push_back(*q++);
    }
    while (is_length(*q)) ++q;
    const char conv = *q;
    if (conv == '\0') {  // a format cut inside a conversion: show it as written
      out.append(p);
      break;
    }
    p = q + 1;
    if (next >= count) {
      out.push_back('?');
      continue;
    }
    const uint32_t w = words[next++];
    char buf[64];
    switch (conv) {
      case 'd':
      case 'i':
        conversion.push_back('d');
        std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<int>(static_cast<int32_t>(w)));
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
      case 'c':
        conversion.push_back(conv);
        std::snprintf(buf, sizeof buf, conversion.c_str(), static_cast<unsigned>(w));
        break;
      case 'p':
        std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(w));
        break;
      default:  // %s and the like cannot be taken from a word
        std::snprintf(buf, sizeof buf, "<%%%c:0x%x>", conv, static_cast<unsigned>(w));
        break;
    }
    out.append(buf);
  }
  return out;
}

std::string format_record_args(const char* fmt, va_list args) {
  if (fmt == nullptr) return std::string();
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(&out[0], out.size(), fmt, args);
  out.resize(static_cast<size_t>(n));
  return out;
}

}  // namespace libdiag

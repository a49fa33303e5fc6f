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

// Appends to a bounded buffer and counts what would have been written.
class Text {
 public:
  Text(char* out, size_t room) : out_(out), room_(room) {
    if (room_ > 0) out_[0] = '\0';
  }
  void put(char c) { append(&c, 1); }
  void append(const char* s, size_t n) {
    if (length_ + 1 < room_) {
      const size_t fits = room_ - 1 - length_;
      const size_t copied = n < fits ? n : fits;
      std::memcpy(out_ + length_, s, copied);
      out_[length_ + copied] = '\0';
    }
    length_ += n;
  }
  void append(const char* s) { append(s, std::strlen(s)); }
  size_t length() const { return length_; }

 private:
  char* out_;
  size_t room_;
  size_t length_ = 0;
};

}  // namespace

size_t format_words_into(char* out, size_t room, const char* fmt, const uint32_t* words,
                         size_t count) {
  Text text(out, room);
  if (fmt == nullptr) return 0;
  size_t next = 0;
  const char* p = fmt;
  while (*p != '\0') {
    if (*p != '%') {
      text.put(*p++);
      continue;
    }
    if (p[1] == '%') {
      text.put('%');
      p += 2;
      continue;
    }
    // Copy "%[flags][width][.precision]" into conversion, skip length
    // modifiers, then print the conversion without them. A conversion longer
    // than the buffer is not a format of this tool; it is shown as written.
    char conversion[32] = "%";
    size_t used = 1;
    const char* q = p + 1;
    auto keep = [&](char c) {
      if (used + 2 < sizeof conversion) conversion[used++] = c;
    };
    while (is_flag(*q)) keep(*q++);
    while (*q >= '0' && *q <= '9') keep(*q++);
    if (*q == '.') {
      keep(*q++);
      while (*q >= '0' && *q <= '9') keep(*q++);
    }
    while (is_length(*q)) ++q;
    const char conv = *q;
    if (conv == '\0') {  // a format cut inside a conversion: show it as written
      text.append(p);
      break;
    }
    p = q + 1;
    if (next >= count) {
      text.put('?');
      continue;
    }
    const uint32_t w = words[next++];
    char buf[64];
    conversion[used + 1] = '\0';
    switch (conv) {
      case 'd':
      case 'i':
        conversion[used] = 'd';
        std::snprintf(buf, sizeof buf, conversion, static_cast<int>(static_cast<int32_t>(w)));
        break;
      case 'u':
      case 'x':
      case 'X':
      case 'o':
      case 'c':
        conversion[used] = conv;
        std::snprintf(buf, sizeof buf, conversion, static_cast<unsigned>(w));
        break;
      case 'p':
        std::snprintf(buf, sizeof buf, "0x%x", static_cast<unsigned>(w));
        break;
      default:  // %s and the like cannot be taken from a word
        std::snprintf(buf, sizeof buf, "<%%%c:0x%x>", conv, static_cast<unsigned>(w));
        break;
    }
    text.append(buf);
  }
  return text.length();
}

size_t format_args_into(char* out, size_t room, const char* fmt, va_list args) {
  if (room > 0) out[0] = '\0';
  if (fmt == nullptr) return 0;
  const int n = std::vsnprintf(out, room, fmt, args);
  return n > 0 ? static_cast<size_t>(n) : 0;
}

}  // namespace libdiag

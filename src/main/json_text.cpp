// json_text.cpp — see json_text.h.
#include "main/json_text.h"

#include <cstdint>

namespace tessel {
namespace {

bool in(uint8_t b, uint8_t low, uint8_t high) { return b >= low && b <= high; }

// The length of the valid UTF-8 sequence at `p` (RFC 3629, table 3-7 of
// Unicode), or 0. Reading stops at the first byte that does not fit, so a
// sequence cut by the terminating NUL is never read past it.
size_t utf8_length(const uint8_t* p) {
  const uint8_t b = p[0];
  if (b < 0x80) return 1;
  uint8_t low = 0x80;
  uint8_t high = 0xBF;
  size_t length;
  if (in(b, 0xC2, 0xDF)) {
    length = 2;
  } else if (in(b, 0xE0, 0xEF)) {
    length = 3;
    if (b == 0xE0) low = 0xA0;   // overlong below U+0800
    if (b == 0xED) high = 0x9F;  // the surrogates U+D800..U+DFFF
  } else if (in(b, 0xF0, 0xF4)) {
    length = 4;
    if (b == 0xF0) low = 0x90;   // overlong below U+10000
    if (b == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;  // a continuation byte, C0, C1 or F5..FF
  }
  if (!in(p[1], low, high)) return 0;
  for (size_t i = 2; i < length; ++i) {
    if (!in(p[i], 0x80, 0xBF)) return 0;
  }
  return length;
}

}  // namespace

void put_json_string(const char* text, std::FILE* out) {
  std::fputc('"', out);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(text);
  while (*p != 0) {
    const uint8_t b = *p;
    size_t n = 1;
    if (b == '"' || b == '\\') {
      std::fputc('\\', out);
      std::fputc(b, out);
    } else if (b < 0x20 || b == 0x7F) {
      std::fprintf(out, "\\u%04x", b);
    } else if ((n = utf8_length(p)) > 0) {
      std::fwrite(p, 1, n, out);
    } else {
      std::fputs("\\ufffd", out);
      n = 1;
    }
    p += n;
  }
  std::fputc('"', out);
}

}  // namespace tessel

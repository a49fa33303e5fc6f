// notes.cpp — stderr remarks and the text forms of bytes used in them.
#include "modem_sim/notes.h"

#include <array>
#include <cstdarg>
#include <cstdio>

namespace tessel::sim {
namespace {
bool g_quiet = false;
}  // namespace

void silence_notes() { g_quiet = true; }

void note(const char* format, ...) {
  if (g_quiet) return;
  std::array<char, 1024> line{};
  va_list args;
  va_start(args, format);
  std::vsnprintf(line.data(), line.size(), format, args);
  va_end(args);
  std::fprintf(stderr, "tessel-modem-sim: %s\n", line.data());
}

std::string hex_text(const uint8_t* bytes, size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(2 * length);
  for (size_t i = 0; i < length; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

std::string printable_text(const uint8_t* bytes, size_t length, size_t limit) {
  std::string text;
  size_t shown = length < limit ? length : limit;
  for (size_t i = 0; i < shown; ++i) {
    uint8_t b = bytes[i];
    if (b == '\r') {
      text += "\\r";
    } else if (b == '\n') {
      text += "\\n";
    } else if (b == '\t') {
      text += "\\t";
    } else if (b == '\\') {
      text += "\\\\";
    } else if (b >= 0x20 && b < 0x7F) {
      text.push_back(static_cast<char>(b));
    } else {
      std::array<char, 5> escaped{};
      std::snprintf(escaped.data(), escaped.size(), "\\x%02x", b);
      text += escaped.data();
    }
  }
  if (shown < length) text += "...";
  return text;
}

}  // namespace tessel::sim

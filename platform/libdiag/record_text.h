// record_text.h — turns one log record and its values into the text a reader sees.
//
// The msg_send calls carry 32-bit words, not printf arguments: a format such
// as "%zd" or "%ld" still receives one 32-bit word, which on a 64-bit host
// must not be handed to vsnprintf as is. format_words_into walks the format
// itself and prints each conversion from the next word, with any length
// modifier dropped: d/i as signed 32-bit, u/x/X/o/c as unsigned 32-bit, p as
// 0x-prefixed hex. Missing words print as "?"; extra words are ignored.
//
// Both writers behave as snprintf does: they fill at most `room` bytes of
// `out`, always terminated when room > 0, and return the length of the whole
// text, so a result of `room` or more says the text was cut and how much room
// it needs. They allocate nothing, so the host stand-in needs no C++ runtime.
// Shared by the host stand-in, the tests' capturing double and the sinks of
// the fuzz targets and benchmarks, which use the std::string forms below.
#ifndef TESSEL_PLATFORM_RECORD_TEXT_H_
#define TESSEL_PLATFORM_RECORD_TEXT_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace libdiag {

size_t format_words_into(char* out, size_t room, const char* fmt, const uint32_t* words,
                         size_t count);

// printf semantics, for msg_sprintf. `args` is left unused: the caller ends it.
size_t format_args_into(char* out, size_t room, const char* fmt, va_list args);

inline std::string format_record_words(const char* fmt, const uint32_t* words, size_t count) {
  std::string text(format_words_into(nullptr, 0, fmt, words, count), '\0');
  format_words_into(&text[0], text.size() + 1, fmt, words, count);
  return text;
}

inline std::string format_record_args(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  std::string text(format_args_into(nullptr, 0, fmt, copy), '\0');
  va_end(copy);
  format_args_into(&text[0], text.size() + 1, fmt, args);
  return text;
}

}  // namespace libdiag

#endif  // TESSEL_PLATFORM_RECORD_TEXT_H_

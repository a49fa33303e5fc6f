// record_text.h — turns one log record and its values into the text a reader sees.
//
// The msg_send calls carry 32-bit words, not printf arguments: a format such
// as "%zd" or "%ld" still receives one 32-bit word, which on a 64-bit host
// must not be handed to vsnprintf as is. format_record_words walks the format
// itself and prints each conversion from the next word, with any length
// modifier dropped: d/i as signed 32-bit, u/x/X/o/c as unsigned 32-bit, p as
// 0x-prefixed hex. Missing words print as "?"; extra words are ignored.
// Shared by the host stand-in and the tests' capturing double.
#ifndef TESSEL_PLATFORM_RECORD_TEXT_H_
#define TESSEL_PLATFORM_RECORD_TEXT_H_

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace libdiag {

std::string format_record_words(const char* fmt, const uint32_t* words, size_t count);

// printf semantics, for msg_sprintf.
std::string format_record_args(const char* fmt, va_list args);

}  // namespace libdiag

#endif  // TESSEL_PLATFORM_RECORD_TEXT_H_

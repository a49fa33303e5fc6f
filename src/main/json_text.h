// json_text.h — text written as a JSON string (RFC 8259), for --json.
//
// The output is valid JSON whatever bytes the text holds:
//   a quote, a backslash             backslash-quote, two backslashes
//   U+0000..U+001F, DEL (0x7F)       \u00XX (a line feed is \u000a)
//   a valid UTF-8 sequence           as it is
//   any other byte (a stray continuation byte, a sequence cut short or
//   overlong, a surrogate, a code point above U+10FFFF)
//                                    \ufffd, the replacement character, one
//                                    per byte, so nothing else is lost
// The text is read up to its terminating NUL.
#ifndef TESSEL_MAIN_JSON_TEXT_H_
#define TESSEL_MAIN_JSON_TEXT_H_

#include <cstdio>

namespace tessel {

// Writes `text` to `out` as a JSON string, quotes included.
void put_json_string(const char* text, std::FILE* out);

}  // namespace tessel

#endif  // TESSEL_MAIN_JSON_TEXT_H_

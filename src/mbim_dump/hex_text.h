// hex_text.h — bytes as hexadecimal text: the hex line that opens every
// message dump, and the text form of a UUID.
//
// Both return a static buffer that the next call overwrites. The dump runs
// only under the transport lock, which is what keeps two threads from using
// these buffers at once.
#ifndef TESSEL_MBIM_DUMP_HEX_TEXT_H_
#define TESSEL_MBIM_DUMP_HEX_TEXT_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr size_t kHexLineSize = 4096;  // terminator included
constexpr size_t kUuidTextSize = 37;   // 36 characters and the terminator

// `direction` and one space, then each of the `count` bytes at `bytes` as two
// upper-case digits and a colon ("0A:"; the last keeps its colon too). The
// text stops at 4095 characters, possibly inside an entry: 1365 bytes or more
// all give the prefix, 1364 whole entries and the first digit of the next.
const char* hex_line(const char* direction, const uint8_t* bytes, size_t count);

// The 16 bytes at `uuid` in stored order, lower case, grouped 8-4-4-4-12:
// "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df". No group is byte-swapped, so the
// text is the one uuid_from_text turns back into the same bytes.
const char* uuid_to_string(const uint8_t* uuid);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_HEX_TEXT_H_

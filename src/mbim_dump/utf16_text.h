// utf16_text.h — the printable form of an MBIM string inside an information
// buffer.
//
// An MBIM string is an (offset, size) pair of words, the offset counting from
// the start of the information buffer, the size in bytes of UTF-16LE text.
// The log shows each code unit by its low byte alone: the strings the dump
// prints (SIM ICCID, subscriber id, telephone numbers) are digits, and a unit
// above 0xFF simply shows as its low byte.
#ifndef TESSEL_MBIM_DUMP_UTF16_TEXT_H_
#define TESSEL_MBIM_DUMP_UTF16_TEXT_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr size_t kTextSize = 256;  // 255 characters and the terminator

// Fills the static text buffer with the string of `size` bytes at `offset`
// inside the `info_len` bytes at `info`, and returns it: size / 2 characters
// (an odd last byte is ignored), cut to the first 255. Returns nullptr, and
// leaves the buffer alone, when the string does not lie wholly inside the
// buffer; offset + size may be anything a peer sends, overflow included.
// The next call overwrites the text.
const char* utf16_to_text(const uint8_t* info, size_t info_len, uint32_t offset, uint32_t size);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_UTF16_TEXT_H_

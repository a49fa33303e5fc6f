// hex_text.cpp — see hex_text.h.
//
// Every received and sent message passes through hex_line in verbose mode, so
// it copies each entry from a table built at compile time rather than
// formatting byte by byte.
#include "mbim_dump/hex_text.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tessel {
namespace {

constexpr char kUpperDigits[] = "0123456789ABCDEF";
constexpr char kLowerDigits[] = "0123456789abcdef";

// The hex-line entry of every byte value, "00:" to "FF:", padded to four
// bytes so that one fixed-size copy writes an entry.
struct EntryTable {
  std::array<std::array<char, 4>, 256> entry;
  constexpr EntryTable() : entry() {
    for (size_t b = 0; b < 256; ++b) {
      entry[b] = {kUpperDigits[b >> 4], kUpperDigits[b & 0x0F], ':', '\0'};
    }
  }
};
constexpr EntryTable kEntries;

std::array<char, kHexLineSize> g_hex_line;
std::array<char, kUuidTextSize> g_uuid_text;

}  // namespace

const char* hex_line(const char* direction, const uint8_t* bytes, size_t count) {
  constexpr size_t kMaxText = kHexLineSize - 1;
  constexpr size_t kEntry = 3;  // "AB:"
  char* out = g_hex_line.data();
  size_t pos = 0;
  for (const char* d = direction; *d != '\0' && pos < kMaxText; ++d) out[pos++] = *d;
  if (pos < kMaxText) out[pos++] = ' ';
  // Whole entries while they fit, then as much of the next one as room
  // allows. Each copy writes four bytes, the fourth overwritten by the next
  // entry or the terminator; the last whole entry ends by 4095, so the copy
  // never passes the buffer's end.
  const size_t whole = std::min(count, (kMaxText - pos) / kEntry);
  for (size_t i = 0; i < whole; ++i, pos += kEntry) {
    std::memcpy(out + pos, kEntries.entry[bytes[i]].data(), 4);
  }
  if (whole < count && pos < kMaxText) {
    // Fewer than kEntry characters of room are left.
    std::memcpy(out + pos, kEntries.entry[bytes[whole]].data(), kMaxText - pos);
    pos = kMaxText;
  }
  out[pos] = '\0';
  return out;
}

const char* uuid_to_string(const uint8_t* uuid) {
  size_t pos = 0;
  for (size_t i = 0; i < 16; ++i) {
    // Hyphens close the 8-4-4-4 groups: after bytes 3, 5, 7 and 9.
    if (i == 4 || i == 6 || i == 8 || i == 10) g_uuid_text[pos++] = '-';
    g_uuid_text[pos++] = kLowerDigits[uuid[i] >> 4];
    g_uuid_text[pos++] = kLowerDigits[uuid[i] & 0x0F];
  }
  g_uuid_text[pos] = '\0';
  return g_uuid_text.data();
}

}  // namespace tessel

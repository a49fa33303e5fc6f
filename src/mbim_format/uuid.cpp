// uuid.cpp — see uuid.h.
#include "mbim_format/uuid.h"

#include <array>
#include <cstring>

namespace tessel {
namespace {

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool is_hyphen_position(int i) { return i == 8 || i == 13 || i == 18 || i == 23; }

// Parses a well-formed text into out; false (out untouched) otherwise.
bool parse(const char* text, uint8_t* out) {
  if (text == nullptr) return false;
  // Look at no more than 37 characters: a longer text is refused without
  // walking the rest of it.
  if (strnlen(text, kUuidTextLength + 1) != static_cast<size_t>(kUuidTextLength)) return false;
  uint8_t bytes[kUuidSize];
  int n = 0;
  for (int i = 0; i < kUuidTextLength;) {
    if (is_hyphen_position(i)) {
      if (text[i] != '-') return false;
      ++i;
      continue;
    }
    const int hi = hex_value(text[i]);
    const int lo = hex_value(text[i + 1]);
    if (hi < 0 || lo < 0 || is_hyphen_position(i + 1)) return false;
    bytes[n++] = static_cast<uint8_t>(hi << 4 | lo);
    i += 2;
  }
  std::memcpy(out, bytes, kUuidSize);
  return true;
}

}  // namespace

const uint8_t* uuid_from_string(const char* text) {
  thread_local std::array<uint8_t, kUuidSize> result;
  result.fill(0);
  parse(text, result.data());
  return result.data();
}

int uuid_equals_string(const uint8_t* bytes, const char* text) {
  return std::memcmp(bytes, uuid_from_string(text), kUuidSize) == 0 ? 0 : 1;
}

MbimUuid* uuid_copy_from_string(MbimUuid* uuid, const char* text) {
  std::memcpy(uuid->bytes, uuid_from_string(text), kUuidSize);
  return uuid;
}

}  // namespace tessel

// uuid.h — service UUIDs: the 16 bytes that travel in DeviceServiceId, and
// their 36-character text form.
//
// The bytes are in the order of the hexadecimal pairs of the text, no group
// swapped: "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df" gives a2 89 cc 33 bc bb ...
// Letter case does not matter. Only a well-formed text parses: exactly 36
// characters, hyphens at 8, 13, 18 and 23, hexadecimal digits elsewhere.
// Anything else (too short, too long, a stray character) is refused and
// yields the nil UUID, 16 zero bytes, which names no service; nothing is
// read past the text's terminator, nor past its 37th character.
//
// The services this tool sends to are parsed by the compiler, and each is
// checked not to be nil, so a malformed constant stops the build instead of
// sending the nil UUID.
#ifndef TESSEL_MBIM_FORMAT_UUID_H_
#define TESSEL_MBIM_FORMAT_UUID_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr int kUuidSize = 16;
constexpr int kUuidTextLength = 36;

struct Uuid {
  std::array<uint8_t, kUuidSize> bytes;
};

namespace uuid_text {

constexpr int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

constexpr bool is_hyphen_position(int i) { return i == 8 || i == 13 || i == 18 || i == 23; }

}  // namespace uuid_text

// The bytes of a well-formed `text`, the nil UUID otherwise (null included).
constexpr Uuid uuid_from_text(const char* text) {
  Uuid nil{};
  if (text == nullptr) return nil;
  // Look at no more than 37 characters: a longer text is refused without
  // walking the rest of it.
  int length = 0;
  while (length <= kUuidTextLength && text[length] != '\0') ++length;
  if (length != kUuidTextLength) return nil;
  Uuid uuid{};
  int n = 0;
  for (int i = 0; i < kUuidTextLength;) {
    if (uuid_text::is_hyphen_position(i)) {
      if (text[i] != '-') return nil;
      ++i;
      continue;
    }
    const int hi = uuid_text::hex_value(text[i]);
    const int lo = uuid_text::hex_value(text[i + 1]);
    if (hi < 0 || lo < 0 || uuid_text::is_hyphen_position(i + 1)) return nil;
    uuid.bytes[n++] = static_cast<uint8_t>(hi << 4 | lo);
    i += 2;
  }
  return uuid;
}

constexpr bool uuid_is_nil(const Uuid& uuid) {
  for (uint8_t b : uuid.bytes) {
    if (b != 0) return false;
  }
  return true;
}

// True when the 16 bytes at `bytes` (a DeviceServiceId inside a message, not
// aligned) are those of `uuid`.
constexpr bool uuid_equals(const uint8_t* bytes, const Uuid& uuid) {
  for (int i = 0; i < kUuidSize; ++i) {
    if (bytes[i] != uuid.bytes[i]) return false;
  }
  return true;
}

// The services this tool sends to.
constexpr Uuid kUuidBasicConnect = uuid_from_text("a289cc33-bcbb-8b4f-b6b0-133ec2aae6df");
constexpr Uuid kUuidQmbe = uuid_from_text("2d0c12c9-0e6a-495a-915c-8d174fe5d63c");
// The AT tunnel; the dump shows it as "uuid_qdu" (mbim_dump/name_tables.h).
constexpr Uuid kUuidAtds = uuid_from_text("6427015f-579d-48f5-8c54-f43ed1e76f83");
constexpr Uuid kUuidProxyControl = uuid_from_text("838cf7fb-8d0d-4d7f-871e-d71dbefbb39b");
constexpr Uuid kUuidMsSarControl = uuid_from_text("68223D04-9F6C-4E0F-822D-28441FB72340");
constexpr Uuid kUuidRadioStateAlt = uuid_from_text("11223344-5566-7788-99aa-bbccddeeff11");

static_assert(!uuid_is_nil(kUuidBasicConnect), "malformed service UUID");
static_assert(!uuid_is_nil(kUuidQmbe), "malformed service UUID");
static_assert(!uuid_is_nil(kUuidAtds), "malformed service UUID");
static_assert(!uuid_is_nil(kUuidProxyControl), "malformed service UUID");
static_assert(!uuid_is_nil(kUuidMsSarControl), "malformed service UUID");
static_assert(!uuid_is_nil(kUuidRadioStateAlt), "malformed service UUID");

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_UUID_H_

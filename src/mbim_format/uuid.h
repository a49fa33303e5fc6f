// uuid.h — service UUIDs: from their 36-character text form to the 16 bytes
// that travel in DeviceServiceId.
//
// The bytes are in the order of the hexadecimal pairs of the text, no group
// swapped: "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df" gives a2 89 cc 33 bc bb ...
// Letter case does not matter. Only a well-formed text parses: exactly 36
// characters, hyphens at 8, 13, 18 and 23, hexadecimal digits elsewhere.
// Anything else (too short, too long, a stray character) is refused and
// yields the nil UUID, 16 zero bytes, which names no service; nothing is
// read past the text's terminator.
#ifndef TESSEL_MBIM_FORMAT_UUID_H_
#define TESSEL_MBIM_FORMAT_UUID_H_

#include <cstdint>

namespace tessel {

constexpr int kUuidSize = 16;
constexpr int kUuidTextLength = 36;

struct MbimUuid {
  uint8_t bytes[kUuidSize];
};

// Returns 16 bytes in a buffer of the calling thread, valid until that
// thread's next call (the reader thread parses while the main thread builds).
const uint8_t* uuid_from_string(const char* text);

// 0 when the 16 bytes equal those of `text`, non-zero otherwise.
int uuid_equals_string(const uint8_t* bytes, const char* text);

// Writes the bytes of `text` into `uuid` and returns `uuid`.
MbimUuid* uuid_copy_from_string(MbimUuid* uuid, const char* text);

// The services this tool sends to, by their text form.
constexpr char kUuidBasicConnect[] = "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df";
constexpr char kUuidQmbe[] = "2d0c12c9-0e6a-495a-915c-8d174fe5d63c";
constexpr char kUuidAtds[] = "6427015f-579d-48f5-8c54-f43ed1e76f83";
constexpr char kUuidProxyControl[] = "838cf7fb-8d0d-4d7f-871e-d71dbefbb39b";
constexpr char kUuidMsSarControl[] = "68223D04-9F6C-4E0F-822D-28441FB72340";
constexpr char kUuidRadioStateAlt[] = "11223344-5566-7788-99aa-bbccddeeff11";

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_UUID_H_

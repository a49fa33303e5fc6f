// fuzz_device_caps.cpp — the answer to the device capabilities query
// (mbim_device_caps_query), taken from the fuzz input.
//
// Input: byte 0 the capacity of the caller's buffer (0 to 255; 0 also means
// no buffer), then the script of fake_modem.h. The buffer is an exact heap
// block, so a write past it fails under AddressSanitizer.
//
// Besides the sanitizers: the buffer always ends up terminated.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fake_modem.h"
#include "mbim_commands/device_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t capacity = data[0];
  fake_modem::load(data + 1, size - 1);
  std::unique_ptr<char[]> buffer(capacity > 0 ? new char[capacity] : nullptr);
  if (capacity > 0) std::memset(buffer.get(), 'x', capacity);
  tessel::mbim_device_caps_query(buffer.get(), capacity);
  if (capacity > 0 && strnlen(buffer.get(), capacity) == capacity) __builtin_trap();
  return 0;
}

// fuzz_sar_read.cpp — the replies to a table read (mbim_GetSarValue), each
// a reply of the fake modem's script (fake_modem.h), framed or not.
//
// Input: byte 0 chooses the caller's buffer, then the script:
//   bits 0..2  its capacity: 0, 1, 20, 1000, 4096, 8192, 40000 or 65536
//              bytes, an exact heap block (a write past it fails under
//              AddressSanitizer);
//   bit 3      set: no total length asked for.
// BUSY answers (Status 1) cost nothing here: no_sleep.cpp.
//
// Besides the sanitizers: a read that succeeds announced a table that fits
// the buffer, and left every byte of the buffer past that table untouched.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fake_modem.h"
#include "mbim_commands/diag_transfer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static constexpr size_t kCapacities[] = {0, 1, 20, 1000, 4096, 8192, 40000, 65536};
  const size_t capacity = kCapacities[data[0] & 7];
  const bool want_total = (data[0] & 8) == 0;
  fake_modem::load(data + 1, size - 1);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[capacity]);
  constexpr uint8_t kUntouched = 0xA5;
  if (capacity > 0) std::memset(buffer.get(), kUntouched, capacity);
  uint16_t total = 0xBEEF;
  const tessel::Status s =
      tessel::mbim_GetSarValue(buffer.get(), capacity, want_total ? &total : nullptr);
  if (s.ok() && want_total) {
    if (total > capacity) __builtin_trap();
    for (size_t i = total; i < capacity; ++i)
      if (buffer[i] != kUntouched) __builtin_trap();
  }
  return 0;
}

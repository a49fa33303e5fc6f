// fuzz_sar_enable.cpp — the answer to the DIAG-over-MBIM switch query
// (mbim_GetSarEnable), taken from the fuzz input (fake_modem.h).
//
// Besides the sanitizers: the switch comes out as -1 on any failure or an
// answer without data, else as 0 or 1.
#include <cstddef>
#include <cstdint>

#include "fake_modem.h"
#include "mbim_commands/sar_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake_modem::load(data, size);
  int enable = 7;
  const tessel::Status s = tessel::mbim_GetSarEnable(&enable);
  if (enable != -1 && enable != 0 && enable != 1) __builtin_trap();
  if (!s.ok() && enable != -1) __builtin_trap();
  return 0;
}

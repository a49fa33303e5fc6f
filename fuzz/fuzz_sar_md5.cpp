// fuzz_sar_md5.cpp — the answer to the stored table's digest query
// (mbim_GetSarMd5), taken from the fuzz input (fake_modem.h).
//
// Besides the sanitizers: the digest changes only on success, and then
// holds the 16 bytes of the answer's InformationBuffer.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fake_modem.h"
#include "mbim_commands/sar_commands.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake_modem::load(data, size);
  uint8_t digest[16];
  std::memset(digest, 0xA5, sizeof digest);
  uint8_t untouched[16];
  std::memcpy(untouched, digest, sizeof digest);
  const tessel::Status s = tessel::mbim_GetSarMd5(48001, digest);
  if (!s.ok() && std::memcmp(digest, untouched, sizeof digest) != 0) __builtin_trap();
  return 0;
}

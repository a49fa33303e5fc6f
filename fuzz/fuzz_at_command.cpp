// fuzz_at_command.cpp — the answer to an AT command through the tunnel
// (mbim_send_at), taken from the fuzz input (fake_modem.h).
//
// Besides the sanitizers: on success the reply is either absent or a
// terminated text that fits the reply buffer; on failure it is absent.
// The command prints "Send >" and "Recv <" lines: standard output goes to
// /dev/null so they cost nothing, though they are still formatted.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fake_modem.h"
#include "mbim_commands/at_command.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fake_modem::load(data, size);
  const char* reply = "unset";
  const tessel::Status s = tessel::mbim_send_at("AT+CGMR", &reply);
  if (!s.ok() && reply != nullptr) __builtin_trap();
  if (reply != nullptr && strnlen(reply, tessel::kAtReplySize) >= tessel::kAtReplySize) __builtin_trap();
  return 0;
}

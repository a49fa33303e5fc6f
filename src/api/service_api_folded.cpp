// service_api_folded.cpp — the entry points with their documented results
// (service_api.h): each calls its api:: form and folds the Status into 0 or
// -1 (LockDevice: the -1 or -2 it has always returned). The tool itself
// calls the api:: forms, so these are linked only where they are used.
#include "api/service_api.h"

namespace tessel {

int Init(const char* device, bool debug) { return folded_result(api::Init(device, debug)); }

int LockDevice(uint32_t wait_s) { return legacy_result(api::LockDevice(wait_s)); }

int GetIsMbimReady(int* ready) {
  const Status s = api::GetIsMbimReady();
  if (s.ok() && ready != nullptr) *ready = 1;
  return folded_result(s);
}

int SetSarEnable(int enable) { return folded_result(api::SetSarEnable(enable)); }

int GetSarEnable(int* enable) { return folded_result(api::GetSarEnable(enable)); }

int GetFileMd5(const char* path, uint8_t digest[16]) {
  return folded_result(api::GetFileMd5(path, digest));
}

int GetSarMd5(int item, uint8_t digest[16], bool* read) {
  return folded_result(api::GetSarMd5(item, digest, read));
}

int SetSarValue(const char* path, int item, const uint8_t* expected_md5) {
  return folded_result(api::SetSarValue(path, item, expected_md5));
}

int GetSarValue(uint8_t* data, size_t capacity, uint16_t* length) {
  return folded_result(api::GetSarValue(data, capacity, length));
}

int ApplySarValue(int item, bool* answered) {
  return folded_result(api::ApplySarValue(item, answered));
}

int SendAtCommand(const char* command, const char** reply) {
  return folded_result(api::SendAtCommand(command, reply));
}

}  // namespace tessel

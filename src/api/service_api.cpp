// service_api.cpp — see service_api.h.
#include "api/service_api.h"

#include <pthread.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/device_lock.h"
#include "api/run_state.h"
#include "diag_log/diag_log.h"
#include "mbim_commands/at_command.h"
#include "mbim_commands/device_commands.h"
#include "mbim_commands/diag_transfer.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_commands/stop_request.h"
#include "mbim_ctx/transport.h"
#include "mbim_format/result_codes.h"

TESSEL_LOG_MODULE("src/api");

namespace tessel {
namespace {

pthread_mutex_t api_lock = PTHREAD_MUTEX_INITIALIZER;
std::array<char, kMaxDevicePath + 1> device_path{};
bool proxy_configured = false;

class ApiLock {
 public:
  ApiLock() { pthread_mutex_lock(&api_lock); }
  ~ApiLock() { pthread_mutex_unlock(&api_lock); }
  ApiLock(const ApiLock&) = delete;
  ApiLock& operator=(const ApiLock&) = delete;
};

int verbose_from_environment() {
  const char* v = std::getenv("VERBOSE");
  if (v == nullptr) return 0;
  return v[0] == '0' ? 0 : 1;
}

int fold(int result) { return result == 0 ? kResultOk : kApiFailure; }

}  // namespace

int Init(const char* device) {
  const int verbose = verbose_from_environment();
  if (Diag_LSM_Init(nullptr) == 0) {
    std::printf("Couldn't initialize Diag!");
  }
  if (device == nullptr) {
    LOG_MSG(LOG_ERROR, "[tessel] Init: no device path");
    return kApiFailure;
  }
  const size_t length = strnlen(device, kMaxDevicePath + 1);
  if (length > kMaxDevicePath) {
    LOG_NUM(LOG_ERROR, "[tessel] Init: device path longer than %d characters", kMaxDevicePath);
    return kApiFailure;
  }
  device_path.fill('\0');
  std::memcpy(device_path.data(), device, length);
  int result;
  {
    ApiLock lock;
    result = ctx_init(verbose);
  }
  return fold(result);
}

void UnInit() {
  {
    ApiLock lock;
    run_state_finish();
    ctx_deinit();
    proxy_configured = false;
    device_lock_release();
  }
  Diag_LSM_DeInit();
  std::printf("UnInit\n");
}

int LockDevice(uint32_t wait_s) {
  // Not folded: the caller tells a busy modem from a lock it cannot use.
  const int r = device_lock_take(device_path.data(), wait_s);
  if (r == kLockTaken) run_state_load(device_path.data());
  return r;
}

void RequestStop(int signal) { request_stop(signal); }

int StopSignal() { return stop_requested(); }

int GetIsMbimReady(int* ready) {
  int result;
  {
    ApiLock lock;
    result = ctx_connect(device_path.data());
    if (result == 0 && ctx_road() == Road::kAbstractSocket && !proxy_configured) {
      // A proxy that does not know the command refuses it with a status but
      // still serves: only a failed exchange stops here.
      const int config = mbim_proxy_config(device_path.data());
      if (is_transport_failure(config)) {
        result = kApiFailure;
      } else {
        proxy_configured = true;
      }
    }
  }
  if (result != 0) return kApiFailure;
  if (ready != nullptr) *ready = 1;
  return 0;
}

int SetSarEnable(int enable) {
  int err;
  {
    ApiLock lock;
    err = mbim_SetSarEnable(enable);
  }
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d, bEnable=%d", err, enable);
  return fold(err);
}

int GetSarEnable(int* enable) {
  int value = 0;
  int err;
  {
    ApiLock lock;
    err = mbim_GetSarEnable(&value);
  }
  if (err == 0 && enable != nullptr) *enable = value != 0 ? 1 : 0;
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d, bEnable=%d", err, enable != nullptr ? *enable : 0);
  return fold(err);
}

int GetSarMd5(int item, uint8_t digest[16], bool* read) {
  ApiLock lock;
  return fold(mbim_GetSarMd5(item, digest, read));
}

int SetSarValue(const char* path, int item, const uint8_t* expected_md5) {
  int err;
  {
    ApiLock lock;
    err = mbim_SetSarValue(path, item, expected_md5);
  }
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d, data=%p, len=%d", err, path, item);
  return fold(err);
}

int GetSarValue(uint8_t* data, size_t capacity, uint16_t* length) {
  int err;
  {
    ApiLock lock;
    err = mbim_GetSarValue(data, capacity, length);
  }
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d, data=%p, len=%d", err, data, length != nullptr ? *length : 0);
  return fold(err);
}

int ApplySarValue(int item) {
  int err;
  {
    ApiLock lock;
    err = mbim_SarApply(item);
  }
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d", err);
  return fold(err);
}

int SendAtCommand(const char* command, const char** reply) {
  int err;
  {
    ApiLock lock;
    err = mbim_send_at(command, reply);
  }
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d", err);
  return fold(err);
}

}  // namespace tessel

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
#include "mbim_commands/command.h"
#include "mbim_commands/diag_transfer.h"
#include "mbim_commands/proxy_config.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_commands/stop_request.h"
#include "transport/transport.h"

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

// VERBOSE, as scripts on the device set it: unset or beginning "0" is
// quiet, anything else (the empty text too) verbose.
int verbose_from_environment() {
  const char* v = std::getenv("VERBOSE");
  if (v == nullptr) return 0;
  return v[0] == '0' ? 0 : 1;
}

// The shape of every entry point that reaches the modem: `call` under
// api_lock, then `log` with the call's Status once the lock is released (a
// record never holds up the next caller). The records show the number the
// Status has always shown (legacy_result).
template <typename Call, typename Log>
Status serve(Call call, Log log) {
  Status result;
  {
    ApiLock lock;
    result = call();
  }
  log(result);
  return result;
}

void no_record(const Status&) {}

void log_result(const Status& s) { LOG_NUM(LOG_NORMAL, "[tessel] err=%d", legacy_result(s)); }

}  // namespace

namespace api {

Status Init(const char* device, bool debug) {
  const int verbose = debug ? 1 : verbose_from_environment();
  if (Diag_LSM_Init(nullptr) == 0) {
    std::printf("Couldn't initialize Diag!");
  }
  if (device == nullptr) {
    LOG_MSG(LOG_ERROR, "[tessel] Init: no device path");
    return Code::kBadArgument;
  }
  const size_t length = strnlen(device, kMaxDevicePath + 1);
  if (length > kMaxDevicePath) {
    LOG_NUM(LOG_ERROR, "[tessel] Init: device path longer than %d characters", kMaxDevicePath);
    return Code::kBadArgument;
  }
  device_path.fill('\0');
  std::memcpy(device_path.data(), device, length);
  return serve([verbose] { return ctx_init(verbose); }, no_record);
}

Status LockDevice(uint32_t wait_s) {
  const Status s = device_lock_take(device_path.data(), wait_s);
  if (s.ok()) run_state_load(device_path.data());
  return s;
}

Status GetIsMbimReady() {
  return serve(
      [] {
        const Status connected = ctx_connect(device_path.data());
        if (!connected.ok() || ctx_road() != Road::kAbstractSocket || proxy_configured) {
          return connected;
        }
        // A proxy that does not know the command refuses it with a status but
        // still serves: only a failed exchange stops here.
        const Status configured = mbim_proxy_config(device_path.data());
        if (!configured.ok() && !configured.refused()) return configured;
        proxy_configured = true;
        return Status();
      },
      no_record);
}

Status SetSarEnable(int enable) {
  return serve([enable] { return mbim_SetSarEnable(enable); },
               [enable](const Status& s) {
                 LOG_NUM(LOG_NORMAL, "[tessel] err=%d, bEnable=%d", legacy_result(s), enable);
               });
}

Status GetSarEnable(int* enable) {
  return serve(
      [enable] {
        int value = 0;
        const Status s = mbim_GetSarEnable(&value);
        if (s.ok() && enable != nullptr) *enable = value != 0 ? 1 : 0;
        return s;
      },
      [enable](const Status& s) {
        LOG_NUM(LOG_NORMAL, "[tessel] err=%d, bEnable=%d", legacy_result(s),
                enable != nullptr ? *enable : 0);
      });
}

Status GetSarMd5(int item, uint8_t digest[16], bool* read) {
  return serve([=] { return mbim_GetSarMd5(item, digest, read); }, no_record);
}

Status SetSarValue(const char* path, int item, const uint8_t* expected_md5) {
  return serve([=] { return mbim_SetSarValue(path, item, expected_md5); },
               [=](const Status& s) {
                 LOG_NUM(LOG_NORMAL, "[tessel] err=%d, data=%p, len=%d", legacy_result(s), path, item);
               });
}

Status GetSarValue(uint8_t* data, size_t capacity, uint16_t* length) {
  return serve([=] { return mbim_GetSarValue(data, capacity, length); },
               [=](const Status& s) {
                 LOG_NUM(LOG_NORMAL, "[tessel] err=%d, data=%p, len=%d", legacy_result(s), data,
                         length != nullptr ? *length : 0);
               });
}

Status ApplySarValue(int item, bool* answered) {
  return serve([=] { return mbim_SarApply(item, answered); }, log_result);
}

Status SendAtCommand(const char* command, const char** reply) {
  return serve([=] { return mbim_send_at(command, reply); }, log_result);
}

}  // namespace api

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

void SetAnswerTimeout(uint32_t timeout_s) {
  ApiLock lock;
  set_answer_timeout(timeout_s);
}

void SetTableProgress(TableProgress report, void* context) {
  ApiLock lock;
  set_table_progress(report, context);
}

void RequestStop(int signal) { request_stop(signal); }

int StopSignal() { return stop_requested(); }

}  // namespace tessel

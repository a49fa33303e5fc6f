// session.cpp — see session.h.
#include "main/session.h"

#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "diag_log/operator_line.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {

Status open_session(const char* device, uint32_t lock_wait_s, bool debug) {
  Status s = api::Init(device, debug);
  if (!s.ok()) {
    LOG_NUM(LOG_ERROR, "[tessel] Init err=%d", folded_result(s));
    return s.at(Step::kConnect);
  }
  s = api::LockDevice(lock_wait_s);
  if (!s.ok()) {
    LOG_NUM(LOG_ERROR, "[tessel] LockDevice err=%d", legacy_result(s));
    // An unusable lock has said why already.
    if (s.code == Code::kLockBusy && StopSignal() == 0) {
      operator_line(LinePriority::kError,
                    "tessel: %s is in use by another tessel run (waited %u s)\n", device,
                    static_cast<unsigned>(lock_wait_s));
    }
    return s.at(Step::kLock);
  }
  s = api::GetIsMbimReady();
  if (!s.ok()) {
    LOG_NUM(LOG_ERROR, "[tessel] GetIsMbimReady err=%d", folded_result(s));
    return s.at(Step::kConnect);
  }
  return s;
}

}  // namespace tessel

// session.cpp — see session.h.
#include "main/session.h"

#include "api/device_lock.h"
#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "diag_log/operator_line.h"
#include "main/outcome.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {

bool open_session(const char* device, uint32_t lock_wait_s, bool debug, SessionFailure* failure) {
  int ready = 0;
  int r;
  if ((r = Init(device, debug)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] Init err=%d", r);
    *failure = {"connect", kExitNoChannel};
    return false;
  }
  if ((r = LockDevice(lock_wait_s)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] LockDevice err=%d", r);
    // An unusable lock has said why already.
    if (r == kLockBusy && StopSignal() == 0) {
      operator_line(LinePriority::kError,
                    "tessel: %s is in use by another tessel run (waited %u s)\n", device,
                    static_cast<unsigned>(lock_wait_s));
    }
    *failure = {"lock", kExitBusy};
    return false;
  }
  if ((r = GetIsMbimReady(&ready)) != 0 || !ready) {
    LOG_NUM(LOG_ERROR, "[tessel] GetIsMbimReady err=%d", r);
    *failure = {"connect", kExitNoChannel};
    return false;
  }
  return true;
}

}  // namespace tessel

// session.h — the opening every flow shares: the log channel and transport
// (Init), the device lock (one tessel run per modem), and the channel
// itself (GetIsMbimReady). Whatever happens here, the flow ends with UnInit.
#ifndef TESSEL_MAIN_SESSION_H_
#define TESSEL_MAIN_SESSION_H_

#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

// Ok when the channel is open, verbose when `debug` (--debug) is set or
// VERBOSE asks for it (Init). Otherwise the failure, at Step::kConnect
// (Init, GetIsMbimReady) or Step::kLock (kLockBusy, kLockUnusable); each
// has its record ("[tessel] Init err=%d", ...), and a device that stayed
// locked is also reported on standard error, since the caller may never
// read the log. A lock that cannot be used at all (device_lock.h) has said
// why already, and nothing was opened.
Status open_session(const char* device, uint32_t lock_wait_s, bool debug);

}  // namespace tessel

#endif  // TESSEL_MAIN_SESSION_H_

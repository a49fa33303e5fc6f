// modem_gone.h — the one record of a modem that went away under the tool.
//
// Unplugging a USB modem makes its node report POLLERR|POLLHUP to poll, and
// fail read, write and close with ENODEV; the node then disappears. On a
// pseudo-terminal standing in for it, the far side closing shows as POLLHUP.
// Either way nothing more can come, so the reader ends and a waiting request
// returns at once; the operator needs to read why, once, in words:
//   "[tessel] the modem is gone (unplugged?): poll on the node reported %s"
//        with the events, e.g. "POLLERR|POLLHUP"                  (level 8)
//   "[tessel] the modem is gone (unplugged?): %s on the node failed: %s"
//        with "read" or "write" and the error's text              (level 8)
// Only the first sign of a channel is recorded, by whichever thread meets
// it; the proxy's sockets have records of their own. Callers hold the
// transport lock.
#ifndef TESSEL_TRANSPORT_MODEM_GONE_H_
#define TESSEL_TRANSPORT_MODEM_GONE_H_

#include "transport/context.h"

namespace tessel {

// Records poll's `revents` on the node when they hold POLLERR or POLLHUP.
void note_gone_events(TransportContext& c, short revents);

// Records a failed `call` ("read", "write") on the node when `error` is
// ENODEV; true when it was, since the node will take and give nothing more.
bool note_gone_errno(TransportContext& c, const char* call, int error);

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_MODEM_GONE_H_

// server.h — the simulator's life: set up, announce READY, serve clients one
// after another until a stop signal, stdin's end, or a pty hang-up; or, with
// --usbip, be a USB device (usbip_plug.h).
#ifndef TESSEL_TOOLS_MODEM_SIM_SERVER_H_
#define TESSEL_TOOLS_MODEM_SIM_SERVER_H_

#include "modem_sim/options.h"

namespace tessel::sim {

// Exit statuses.
enum ExitStatus : int {
  kExitOk = 0,
  kExitSetupFailed = 1,
  kExitUsage = 2,
};

// Runs the simulator as `options` say. Returns kExitOk after a stop signal,
// stdin's end (--exit-on-stdin-eof) or a --hangup-at on the pty, or
// kExitSetupFailed when the endpoint, log or --table-in cannot be set up.
int run_server(const Options& options);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_SERVER_H_

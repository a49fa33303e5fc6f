// usbip_plug.h — the life of the simulator as a USB device (--usbip): plug
// into vhci_hcd, serve, unplug, and with --replug-after plug in again as a
// new device.
//
// Each plug prints "READY <busid> port <port>" on stdout, the bus ID naming
// the device under /sys/bus/usb/devices. An unplug closes the USB/IP socket;
// the simulator then waits (up to kPortFreeTimeoutMs) until vhci_hcd shows
// the port free, so a stop leaves no device behind. Unplugs come from
// --unplug-after-chunk, --hangup-at, SIGUSR1, or the kernel dropping the
// connection (a detach); after one, the simulator exits with status 0
// unless --replug-after asks for a re-plug, at most kMaxReplugs times.
// SIGTERM and SIGINT unplug and exit, as does stdin's end with
// --exit-on-stdin-eof.
#ifndef TESSEL_TOOLS_MODEM_SIM_USBIP_PLUG_H_
#define TESSEL_TOOLS_MODEM_SIM_USBIP_PLUG_H_

#include <cstdint>

#include "modem_sim/connection.h"

namespace tessel::sim {

// A device that the kernel keeps dropping would otherwise be plugged in for
// ever, MS after MS.
constexpr uint32_t kMaxReplugs = 16;
constexpr int kPortFreeTimeoutMs = 3000;

// Runs the plugs. Returns kExitOk, or kExitSetupFailed when a socket pair
// or an attach fails.
int run_usbip(ServerContext* context);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_USBIP_PLUG_H_

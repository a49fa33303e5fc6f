// vhci_attach.h — plugging the device into the kernel's USB/IP virtual host
// controller, vhci_hcd, through its sysfs files:
//   /sys/devices/platform/vhci_hcd.0/status   one line per port:
//       "hs  0000 004 000 00000000 000000 0-0" (hub, port, state, ...);
//       state 4 (VDEV_ST_NULL) is a free port
//   /sys/devices/platform/vhci_hcd.0/attach   "<port> <sockfd> <devid> <speed>"
// The kernel looks the socket up by its descriptor number in the process
// that writes the attach, and keeps its own reference; the simulator then
// closes that end. When the simulator closes the other end, the kernel's
// receiving thread sees the end of the stream, disconnects the device and
// frees the port (vhci_shutdown_connection, vhci_device_reset).
//
// The simulator never loads vhci_hcd itself: whoever runs it does
// (`modprobe vhci-hcd`).
#ifndef TESSEL_TOOLS_MODEM_SIM_VHCI_ATTACH_H_
#define TESSEL_TOOLS_MODEM_SIM_VHCI_ATTACH_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tessel::sim {

struct VhciPlug {
  uint32_t port = 0;
  std::string busid;  // the device's name under /sys/bus/usb/devices, e.g. "3-1"
};

// Attaches `kernel_fd`, one end of a connected stream socket pair, as a
// high-speed device numbered `devid` on the first free high-speed port
// (the next one when another attach takes it first). Returns 0, or -1 with a
// note: vhci_hcd not loaded, no free port, or the attach refused.
int vhci_attach(int kernel_fd, uint32_t devid, VhciPlug* out);

// Waits up to `timeout_ms` for `port` to read free again. Returns true once it does.
bool vhci_wait_port_free(uint32_t port, int timeout_ms);

// The free high-speed ports listed in the text of the status file.
std::vector<uint32_t> free_high_speed_ports(const std::string& status);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_VHCI_ATTACH_H_

// usbip_device.h — the simulated modem as a USB device, served over USB/IP on
// one connected stream socket whose other end the kernel's vhci_hcd holds (or
// a test, playing the kernel). One UsbipDevice is one plug: a re-plug is a
// new device with nothing pending, only the modem's store (SimState) kept.
//
// Transfers:
//   endpoint 0      answered at once: enumeration and NCM requests
//                   (usb_control.h), the MBIM messages (usb_mbim_function.h)
//   0x81 interrupt  held until a RESPONSE_AVAILABLE is owed, then completed
//                   with the 8-byte notification
//   0x82 bulk IN    held for ever: the modem has no packet data
//   0x02 bulk OUT   taken and thrown away
// A held transfer that the kernel unlinks gets USBIP_RET_UNLINK with status
// -ECONNRESET and is never completed; an unlink that comes after the
// completion gets status 0.
#ifndef TESSEL_TOOLS_MODEM_SIM_USBIP_DEVICE_H_
#define TESSEL_TOOLS_MODEM_SIM_USBIP_DEVICE_H_

#include <array>
#include <cstdint>
#include <deque>

#include "modem_sim/connection.h"
#include "modem_sim/usb_control.h"
#include "modem_sim/usb_mbim_function.h"
#include "modem_sim/usbip_wire.h"

namespace tessel::sim {

// USB_CDC_NOTIFY_RESPONSE_AVAILABLE for the control interface:
constexpr std::array<uint8_t, 8> kResponseAvailable = {
    0xa1,        // bmRequestType: class, interface, device to host
    0x01,        // bNotificationType: RESPONSE_AVAILABLE
    0x00, 0x00,  // wValue
    0x00, 0x00,  // wIndex: interface 0
    0x00, 0x00,  // wLength: no data
};

enum class UsbEnd {
  kHostGone,       // the kernel closed its end, or the stream broke or went out of step
  kUnplugged,      // the simulator pulled the plug: a knob or SIGUSR1
  kStopRequested,  // SIGTERM/SIGINT
  kStdinClosed,    // --exit-on-stdin-eof and stdin ended
};

class UsbipDevice {
 public:
  explicit UsbipDevice(ServerContext* context) : ctx_(context), function_(context) {}

  // Serves the kernel on `fd` until one of the ends above. `fd` stays open:
  // closing it is the unplug the kernel sees.
  UsbEnd serve(int fd);

 private:
  enum class Step { kGoOn, kHostGone, kUnplug };

  Step handle(const UsbipCommand& command);
  Step control(const UsbipCommand& command);
  Step unlink(const UsbipCommand& command);
  // Completes held interrupt transfers while notifications are owed.
  Step notify();
  Step send(const std::vector<uint8_t>& pdu);

  ServerContext* ctx_;
  int fd_ = -1;
  UsbControl control_;
  UsbMbimFunction function_;
  std::deque<uint32_t> interrupt_in_;  // seqnums of held transfers, oldest first
  std::deque<uint32_t> bulk_in_;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_USBIP_DEVICE_H_

// usb_control.h — endpoint 0 of the simulated modem, except the MBIM
// messages themselves (usb_mbim_function.h): the standard requests of
// enumeration and configuration, and the NCM class requests that cdc_ncm
// sends while binding.
//
// A request the device does not know, or one with a value it does not
// have (a fourth string, configuration 2, alternate setting 2), stalls, as
// a real device's endpoint 0 does; the host then sees -EPIPE.
#ifndef TESSEL_TOOLS_MODEM_SIM_USB_CONTROL_H_
#define TESSEL_TOOLS_MODEM_SIM_USB_CONTROL_H_

#include <cstdint>
#include <vector>

#include "modem_sim/usbip_wire.h"

namespace tessel::sim {

// bmRequestType bits.
constexpr uint8_t kRequestDirIn = 0x80;
constexpr uint8_t kRequestTypeMask = 0x60;
constexpr uint8_t kRequestTypeStandard = 0x00;
constexpr uint8_t kRequestTypeClass = 0x20;
constexpr uint8_t kRequestRecipientMask = 0x1F;
constexpr uint8_t kRecipientDevice = 0;
constexpr uint8_t kRecipientInterface = 1;
constexpr uint8_t kRecipientEndpoint = 2;

struct ControlReply {
  bool stall = false;
  std::vector<uint8_t> data;  // an IN request's bytes, at most its wLength
};

class UsbControl {
 public:
  // Answers `setup` (with an OUT request's `out_data`).
  ControlReply handle(const SetupPacket& setup, const std::vector<uint8_t>& out_data);

  // 0 until SET_CONFIGURATION 1.
  uint8_t configuration() const { return configuration_; }
  // The data interface's alternate setting: 1 while the bulk endpoints exist.
  uint8_t data_alt_setting() const { return data_alt_; }

 private:
  ControlReply standard(const SetupPacket& setup);
  ControlReply ncm_class(const SetupPacket& setup, const std::vector<uint8_t>& out_data);

  uint8_t configuration_ = 0;
  uint8_t data_alt_ = 0;
  // What the NCM requests set; kept only to read back.
  uint32_t ntb_input_size_ = 16384;
  uint16_t ntb_format_ = 0;           // 16-bit NTBs
  uint16_t max_datagram_size_ = 1500;
  uint16_t crc_mode_ = 0;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_USB_CONTROL_H_

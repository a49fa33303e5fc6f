// usb_control.cpp — standard and NCM class requests on endpoint 0.
#include "modem_sim/usb_control.h"

#include <array>

#include "byte_order/byte_order.h"
#include "modem_sim/notes.h"
#include "modem_sim/usb_descriptors.h"

namespace tessel::sim {
namespace {

// Standard requests (USB 2.0, table 9-4).
enum StandardRequest : uint8_t {
  kGetStatus = 0,
  kClearFeature = 1,
  kSetFeature = 3,
  kSetAddress = 5,
  kGetDescriptor = 6,
  kGetConfiguration = 8,
  kSetConfiguration = 9,
  kGetInterface = 10,
  kSetInterface = 11,
};

// NCM class requests (include/uapi/linux/usb/cdc.h).
enum NcmRequest : uint8_t {
  kGetNtbParameters = 0x80,
  kGetNtbFormat = 0x83,
  kSetNtbFormat = 0x84,
  kGetNtbInputSize = 0x85,
  kSetNtbInputSize = 0x86,
  kGetMaxDatagramSize = 0x87,
  kSetMaxDatagramSize = 0x88,
  kGetCrcMode = 0x89,
  kSetCrcMode = 0x8a,
};

ControlReply stall() {
  ControlReply r;
  r.stall = true;
  return r;
}

// `bytes` cut to the request's wLength: the host asks for less to learn a size.
template <typename Bytes>
ControlReply in_data(const Bytes& bytes, uint16_t length) {
  ControlReply r;
  r.data.assign(bytes.begin(), bytes.end());
  if (r.data.size() > length) r.data.resize(length);
  return r;
}

ControlReply in_le16(uint16_t v, uint16_t length) {
  std::vector<uint8_t> b(2);
  put_le16(b.data(), v);
  return in_data(b, length);
}

ControlReply descriptor(const SetupPacket& s) {
  const uint8_t type = static_cast<uint8_t>(s.value >> 8);
  const uint8_t index = static_cast<uint8_t>(s.value & 0xFF);
  switch (type) {
    case kDescriptorDevice: return in_data(kDeviceDescriptor, s.length);
    case kDescriptorConfiguration:
      if (index != 0) return stall();
      return in_data(kConfigurationDescriptor, s.length);
    case kDescriptorString: {
      std::vector<uint8_t> d = string_descriptor(index);
      if (d.empty()) return stall();
      return in_data(d, s.length);
    }
    default:
      // Device qualifier, BOS, other-speed configuration: a USB 2.00 device
      // working at high speed only has none, and says so with a stall.
      return stall();
  }
}

}  // namespace

ControlReply UsbControl::handle(const SetupPacket& setup, const std::vector<uint8_t>& out_data) {
  switch (setup.request_type & kRequestTypeMask) {
    case kRequestTypeStandard: return standard(setup);
    case kRequestTypeClass: return ncm_class(setup, out_data);
    default: break;
  }
  note("USB: vendor request %02x (bmRequestType %02x) stalled", setup.request,
       setup.request_type);
  return stall();
}

ControlReply UsbControl::standard(const SetupPacket& s) {
  const uint8_t recipient = s.request_type & kRequestRecipientMask;
  switch (s.request) {
    case kGetDescriptor:
      if (recipient != kRecipientDevice) return stall();
      return descriptor(s);
    case kSetAddress:
      // vhci_hcd answers it itself; harmless if it ever comes here.
      return ControlReply{};
    case kGetConfiguration: {
      const std::array<uint8_t, 1> value = {configuration_};
      return in_data(value, s.length);
    }
    case kSetConfiguration:
      if (s.value != 0 && s.value != kConfigurationValue) return stall();
      configuration_ = static_cast<uint8_t>(s.value);
      data_alt_ = 0;
      return ControlReply{};
    case kGetInterface: {
      if (configuration_ == 0 || s.index > kDataInterface) return stall();
      const std::array<uint8_t, 1> value = {s.index == kDataInterface ? data_alt_ : uint8_t{0}};
      return in_data(value, s.length);
    }
    case kSetInterface:
      if (configuration_ == 0) return stall();
      if (s.index == kControlInterface && s.value == 0) return ControlReply{};
      if (s.index == kDataInterface && s.value < kDataAltSettings) {
        data_alt_ = static_cast<uint8_t>(s.value);
        return ControlReply{};
      }
      return stall();
    case kGetStatus:
      // Device: bus-powered, no remote wake-up; interfaces and endpoints: 0,
      // never halted (the device stalls only single control requests).
      return in_le16(0, s.length);
    case kClearFeature:
    case kSetFeature:
      // Endpoint halt and remote wake-up change nothing the host can see here.
      return ControlReply{};
    default:
      note("USB: standard request %u (bmRequestType %02x) stalled", s.request, s.request_type);
      return stall();
  }
}

ControlReply UsbControl::ncm_class(const SetupPacket& s, const std::vector<uint8_t>& out) {
  if ((s.request_type & kRequestRecipientMask) != kRecipientInterface ||
      s.index != kControlInterface) {
    note("USB: class request %02x to wIndex %u stalled", s.request, s.index);
    return stall();
  }
  switch (s.request) {
    case kGetNtbParameters: return in_data(kNtbParameters, s.length);
    case kGetNtbFormat: return in_le16(ntb_format_, s.length);
    case kSetNtbFormat:
      if (s.value != 0) return stall();  // only 16-bit NTBs are offered
      ntb_format_ = s.value;
      return ControlReply{};
    case kGetNtbInputSize: {
      std::vector<uint8_t> b(4);
      put_le32(b.data(), ntb_input_size_);
      return in_data(b, s.length);
    }
    case kSetNtbInputSize:
      if (out.size() < 4) return stall();
      ntb_input_size_ = get_le32(out.data());
      return ControlReply{};
    case kGetMaxDatagramSize: return in_le16(max_datagram_size_, s.length);
    case kSetMaxDatagramSize:
      if (out.size() < 2) return stall();
      max_datagram_size_ = get_le16(out.data());
      return ControlReply{};
    case kGetCrcMode: return in_le16(crc_mode_, s.length);
    case kSetCrcMode:
      crc_mode_ = s.value;
      return ControlReply{};
    default:
      note("USB: class request %02x stalled", s.request);
      return stall();
  }
}

}  // namespace tessel::sim

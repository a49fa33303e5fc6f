// usb_descriptors.h — what the simulated modem tells the USB host about
// itself: one high-speed configuration with an MBIM function, the shape the
// kernel's cdc_mbim driver binds to (and cdc-wdm then serves as /dev/cdc-wdmN).
//
//   interface 0  communication (class 02, subclass 0e MBIM, protocol 00):
//                CDC header, union (0 controls 1) and MBIM functional
//                descriptors, then interrupt IN endpoint 0x81 for
//                RESPONSE_AVAILABLE notifications
//   interface 1  data (class 0a, protocol 02 NTB): alternate setting 0 has no
//                endpoints, alternate setting 1 has bulk IN 0x82 and bulk OUT 0x02
//
// All multi-byte fields are little-endian, as USB has them.
#ifndef TESSEL_TOOLS_MODEM_SIM_USB_DESCRIPTORS_H_
#define TESSEL_TOOLS_MODEM_SIM_USB_DESCRIPTORS_H_

#include <array>
#include <cstdint>
#include <vector>

namespace tessel::sim {

constexpr uint8_t kControlInterface = 0;
constexpr uint8_t kDataInterface = 1;
constexpr uint8_t kConfigurationValue = 1;
constexpr uint8_t kNotifyEndpoint = 1;   // 0x81, interrupt IN
constexpr uint8_t kDataEndpoint = 2;     // 0x82 bulk IN, 0x02 bulk OUT
constexpr uint8_t kDataAltSettings = 2;  // alternate settings 0 and 1 of the data interface

// Descriptor types (wValue's high byte of GET_DESCRIPTOR).
enum DescriptorType : uint8_t {
  kDescriptorDevice = 1,
  kDescriptorConfiguration = 2,
  kDescriptorString = 3,
};

// The largest MBIM message one control transfer carries, either way
// (wMaxControlMessage): cdc-wdm sizes its buffers by it.
constexpr uint16_t kMaxControlMessage = 4096;

// pid.codes' test VID/PID: no real device uses it and no driver's ID table
// claims it, so only the class drivers bind.
constexpr uint16_t kVendorId = 0x1209;
constexpr uint16_t kProductId = 0x0001;

constexpr std::array<uint8_t, 18> kDeviceDescriptor = {
    18,          // bLength
    0x01,        // bDescriptorType: DEVICE
    0x00, 0x02,  // bcdUSB 2.00: no BOS descriptor to ask for
    0x00,        // bDeviceClass: given per interface
    0x00,        // bDeviceSubClass
    0x00,        // bDeviceProtocol
    64,          // bMaxPacketSize0, as every high-speed device
    0x09, 0x12,  // idVendor 0x1209
    0x01, 0x00,  // idProduct 0x0001
    0x00, 0x01,  // bcdDevice 1.00
    1,           // iManufacturer
    2,           // iProduct
    3,           // iSerialNumber
    1,           // bNumConfigurations
};

constexpr std::array<uint8_t, 79> kConfigurationDescriptor = {
    // Configuration
    9,           // bLength
    0x02,        // bDescriptorType: CONFIGURATION
    79, 0x00,    // wTotalLength: everything below
    2,           // bNumInterfaces
    1,           // bConfigurationValue
    0,           // iConfiguration
    0x80,        // bmAttributes: bus-powered, no remote wake-up
    250,         // bMaxPower: 500 mA
    // Interface 0, alternate setting 0: MBIM communication
    9, 0x04,     // bLength, bDescriptorType: INTERFACE
    0,           // bInterfaceNumber
    0,           // bAlternateSetting
    1,           // bNumEndpoints
    0x02,        // bInterfaceClass: communications
    0x0e,        // bInterfaceSubClass: MBIM
    0x00,        // bInterfaceProtocol
    4,           // iInterface
    // CDC header functional descriptor
    5, 0x24,     // bFunctionLength, bDescriptorType: CS_INTERFACE
    0x00,        // bDescriptorSubtype: header
    0x10, 0x01,  // bcdCDC 1.10
    // CDC union functional descriptor
    5, 0x24,     // bFunctionLength, CS_INTERFACE
    0x06,        // bDescriptorSubtype: union
    0,           // bControlInterface
    1,           // bSubordinateInterface0: the data interface
    // MBIM functional descriptor
    12, 0x24,    // bFunctionLength, CS_INTERFACE
    0x1b,        // bDescriptorSubtype: MBIM
    0x00, 0x01,  // bcdMBIMVersion 1.00
    0x00, 0x10,  // wMaxControlMessage 4096
    16,          // bNumberFilters
    128,         // bMaxFilterSize
    0xdc, 0x05,  // wMaxSegmentSize 1500
    0x00,        // bmNetworkCapabilities: no max-datagram-size or CRC requests
    // Endpoint 0x81: notifications
    7, 0x05,     // bLength, bDescriptorType: ENDPOINT
    0x81,        // bEndpointAddress: 1 IN
    0x03,        // bmAttributes: interrupt
    64, 0x00,    // wMaxPacketSize 64
    9,           // bInterval: 2^(9-1) microframes, 32 ms
    // Interface 1, alternate setting 0: data, idle
    9, 0x04,     // bLength, INTERFACE
    1,           // bInterfaceNumber
    0,           // bAlternateSetting
    0,           // bNumEndpoints
    0x0a,        // bInterfaceClass: CDC data
    0x00,        // bInterfaceSubClass
    0x02,        // bInterfaceProtocol: network transfer blocks
    0,           // iInterface
    // Interface 1, alternate setting 1: data, running
    9, 0x04,     // bLength, INTERFACE
    1,           // bInterfaceNumber
    1,           // bAlternateSetting
    2,           // bNumEndpoints
    0x0a,        // bInterfaceClass: CDC data
    0x00,        // bInterfaceSubClass
    0x02,        // bInterfaceProtocol: network transfer blocks
    0,           // iInterface
    // Endpoint 0x82: bulk IN
    7, 0x05,     // bLength, ENDPOINT
    0x82,        // bEndpointAddress: 2 IN
    0x02,        // bmAttributes: bulk
    0x00, 0x02,  // wMaxPacketSize 512
    0,           // bInterval
    // Endpoint 0x02: bulk OUT
    7, 0x05,     // bLength, ENDPOINT
    0x02,        // bEndpointAddress: 2 OUT
    0x02,        // bmAttributes: bulk
    0x00, 0x02,  // wMaxPacketSize 512
    0,           // bInterval
};

// The answer to GET_NTB_PARAMETERS, which cdc_ncm requires at bind. The
// 16384-byte NTBs are its own default sizes, so it asks to change nothing.
constexpr std::array<uint8_t, 28> kNtbParameters = {
    28, 0x00,                // wLength
    0x01, 0x00,              // bmNtbFormatsSupported: 16-bit NTBs only
    0x00, 0x40, 0x00, 0x00,  // dwNtbInMaxSize 16384
    4, 0x00,                 // wNdpInDivisor
    0, 0x00,                 // wNdpInPayloadRemainder
    4, 0x00,                 // wNdpInAlignment
    0, 0x00,                 // wPadding1
    0x00, 0x40, 0x00, 0x00,  // dwNtbOutMaxSize 16384
    4, 0x00,                 // wNdpOutDivisor
    0, 0x00,                 // wNdpOutPayloadRemainder
    4, 0x00,                 // wNdpOutAlignment
    0, 0x00,                 // wNtbOutMaxDatagrams: no limit
};

// String descriptor `index`: 0 is the language list (US English), 1 to 4
// the manufacturer, product, serial number and control interface's name,
// in UTF-16LE. Empty for an index the device does not have.
std::vector<uint8_t> string_descriptor(uint8_t index);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_USB_DESCRIPTORS_H_

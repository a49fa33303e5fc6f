// device_payloads.h — the InformationBuffers of the device commands: what
// each request carries and which answer fields are read.
//
// Offsets within the InformationBuffer; u32 little-endian words unless noted.
//
// Proxy configuration (838cf7fb-…, CID 1, set), 12 + 2L bytes:
//    0  12, the path's offset      4  2L, its size in bytes
//    8  15, the proxy's timeout in seconds
//   12  the device path as UTF-16LE, each byte one unit, no terminator
// Device service subscribe list (basic connect, CID 19, set), 32 + 4n bytes:
//    0  1, the element count       4  12, the element's offset
//    8  20 + 4n, its size         12  the service UUID (16 bytes)
//   28  n, the CID count          32  the n CIDs
// Microsoft SAR configuration (68223d04-…, CID 1, set), 28 bytes:
//    0  SAR mode, 1                4  back-off status, 1
//    8  element count, 1          12  element offset, 20
//   16  element size, 8           20  antenna index, 0xFFFFFFFF (all)
//   24  back-off index
// Radio state (basic connect CID 3, or the alternative service CID 1):
//    request (set)   0  the radio state
//    answer          0  HwRadioState    4  SwRadioState
// Device capabilities (basic connect CID 1, query), answer:
//   40/44  DeviceId offset/size      48/52  FirmwareInfo offset/size
//   56/60  HardwareInfo offset/size  (UTF-16LE; offsets from the buffer)
#ifndef TESSEL_MBIM_FORMAT_DEVICE_PAYLOADS_H_
#define TESSEL_MBIM_FORMAT_DEVICE_PAYLOADS_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// The CIDs these commands use, per service (libmbim keeps one set each).
enum BasicConnectCid : uint32_t {
  kCidDeviceCaps = 1,
  kCidRadioState = 3,
  kCidSubscribeList = 19,
};
constexpr uint32_t kCidProxyConfiguration = 1;  // proxy control
constexpr uint32_t kCidRadioStateAlt = 1;       // the alternative radio service
constexpr uint32_t kCidMsSarConfig = 1;         // Microsoft SAR control

// Proxy configuration.
constexpr size_t kProxyPathOffsetField = 0;
constexpr size_t kProxyPathSizeField = 4;
constexpr size_t kProxyTimeoutField = 8;
constexpr size_t kProxyPathOffset = 12;
constexpr uint32_t kProxyTimeoutSeconds = 15;

// Device service subscribe list.
constexpr size_t kSubscribeElementCountField = 0;
constexpr size_t kSubscribeElementOffsetField = 4;
constexpr size_t kSubscribeElementSizeField = 8;
constexpr size_t kSubscribeServiceOffset = 12;
constexpr size_t kSubscribeCidCountField = 28;
constexpr size_t kSubscribeCidsOffset = 32;
constexpr uint32_t kSubscribeElementOffset = 12;   // the element follows the list's three words
constexpr uint32_t kSubscribeElementHeaderSize = 20;  // service UUID and CID count

// Microsoft SAR configuration.
constexpr size_t kMsSarModeField = 0;
constexpr size_t kMsSarBackoffStatusField = 4;
constexpr size_t kMsSarElementCountField = 8;
constexpr size_t kMsSarElementOffsetField = 12;
constexpr size_t kMsSarElementSizeField = 16;
constexpr size_t kMsSarAntennaIndexField = 20;
constexpr size_t kMsSarBackoffIndexField = 24;
constexpr size_t kMsSarConfigSize = 28;
constexpr uint32_t kMsSarElementOffset = 20;
constexpr uint32_t kMsSarElementSize = 8;
constexpr uint32_t kMsSarAllAntennas = 0xFFFFFFFF;

// Radio state.
constexpr size_t kRadioStateField = 0;
constexpr size_t kHwRadioStateField = 0;
constexpr size_t kSwRadioStateField = 4;

// Device capabilities: where each string's offset word stands; its size
// word follows.
constexpr size_t kCapsDeviceIdField = 40;
constexpr size_t kCapsFirmwareInfoField = 48;
constexpr size_t kCapsHardwareInfoField = 56;

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_DEVICE_PAYLOADS_H_

// usbip_wire.h — the USB/IP protocol as the device side of vhci_hcd sees it:
// the kernel sends USBIP_CMD_SUBMIT and USBIP_CMD_UNLINK, the device answers
// USBIP_RET_SUBMIT and USBIP_RET_UNLINK. Every PDU starts with a 48-byte
// header whose words are all big-endian:
//
//   0  command     4  seqnum     8  devid     12  direction (0 out, 1 in)
//  16  ep (endpoint number, no direction bit)
//   CMD_SUBMIT: 20 transfer_flags  24 transfer_buffer_length  28 start_frame
//               32 number_of_packets  36 interval  40 setup (8 bytes, USB's own
//               little-endian layout); an OUT transfer's data follows the header
//   RET_SUBMIT: 20 status  24 actual_length  28 start_frame
//               32 number_of_packets  36 error_count  40 padding (8 bytes);
//               an IN transfer's data follows the header
//   CMD_UNLINK: 20 seqnum of the submit to unlink, then padding
//   RET_UNLINK: 20 status, then padding
//
// A reply carries the seqnum of the command it answers; devid, direction and
// ep are 0 in replies. The device has no isochronous endpoints, so no ISO
// packet descriptors ever follow.
#ifndef TESSEL_TOOLS_MODEM_SIM_USBIP_WIRE_H_
#define TESSEL_TOOLS_MODEM_SIM_USBIP_WIRE_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessel::sim {

constexpr size_t kUsbipHeaderSize = 48;

enum UsbipCommandCode : uint32_t {
  kUsbipCmdSubmit = 1,
  kUsbipCmdUnlink = 2,
  kUsbipRetSubmit = 3,
  kUsbipRetUnlink = 4,
};

enum UsbipDirection : uint32_t {
  kUsbipDirOut = 0,
  kUsbipDirIn = 1,
};

// Header offsets.
constexpr size_t kUsbipCommandOffset = 0;
constexpr size_t kUsbipSeqnumOffset = 4;
constexpr size_t kUsbipDevidOffset = 8;
constexpr size_t kUsbipDirectionOffset = 12;
constexpr size_t kUsbipEpOffset = 16;
constexpr size_t kUsbipSubmitLengthOffset = 24;   // CMD: transfer_buffer_length
constexpr size_t kUsbipSubmitSetupOffset = 40;    // CMD: setup packet
constexpr size_t kUsbipUnlinkSeqnumOffset = 20;   // CMD_UNLINK: the submit to unlink
constexpr size_t kUsbipStatusOffset = 20;         // RET_SUBMIT and RET_UNLINK
constexpr size_t kUsbipActualLengthOffset = 24;   // RET_SUBMIT

// The largest OUT transfer taken: a control transfer carries at most 4096
// bytes of MBIM here, a bulk OUT at most the 16384-byte NTB the device
// announces; anything far beyond is a stream out of step.
constexpr uint32_t kUsbipMaxOutLength = 65536;

// Status values, as the kernel's negative errno.
enum UsbStatus : int32_t {
  kUsbStatusOk = 0,
  kUsbStatusStall = -32,      // -EPIPE: the endpoint stalled
  kUsbStatusUnlinked = -104,  // -ECONNRESET: taken back by CMD_UNLINK
};

// The 8-byte setup packet of a control transfer (USB 2.0, 9.3).
struct SetupPacket {
  uint8_t request_type = 0;  // bmRequestType: bit 7 direction, bits 5-6 type, 0-4 recipient
  uint8_t request = 0;       // bRequest
  uint16_t value = 0;        // wValue
  uint16_t index = 0;        // wIndex
  uint16_t length = 0;       // wLength
};

// One command from the kernel.
struct UsbipCommand {
  uint32_t command = 0;
  uint32_t seqnum = 0;
  uint32_t direction = 0;
  uint32_t ep = 0;
  uint32_t length = 0;        // CMD_SUBMIT: transfer_buffer_length
  SetupPacket setup;          // CMD_SUBMIT on endpoint 0
  uint32_t unlink_seqnum = 0;  // CMD_UNLINK
  std::vector<uint8_t> data;  // CMD_SUBMIT OUT: the transfer's bytes
};

enum class PduResult {
  kCommand,   // *out holds one whole command
  kNeedMore,  // no whole command held yet
  kBad,       // an unknown command or an impossible length: the stream cannot be trusted
};

// Cuts the byte stream from the kernel into commands.
class UsbipReader {
 public:
  void append(const uint8_t* bytes, size_t length);

  // Takes the next command; call until kNeedMore. After kBad, `*why` names
  // the fault and the reader should be dropped with the connection.
  PduResult next(UsbipCommand* out, const char** why);

 private:
  std::vector<uint8_t> held_;
};

// USBIP_RET_SUBMIT for `seqnum`: `status`, and `actual_length` with the IN
// data `in_data` (empty for OUT transfers, whose length alone is reported).
std::vector<uint8_t> ret_submit(uint32_t seqnum, int32_t status, uint32_t actual_length,
                                const std::vector<uint8_t>& in_data);

// USBIP_RET_UNLINK for the CMD_UNLINK `seqnum`.
std::vector<uint8_t> ret_unlink(uint32_t seqnum, int32_t status);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_USBIP_WIRE_H_

// usbip_wire.cpp — reading the kernel's USB/IP commands, writing the replies.
#include "modem_sim/usbip_wire.h"

#include "byte_order/byte_order.h"

namespace tessel::sim {
namespace {

void put_be32_signed(uint8_t* p, int32_t v) { put_be32(p, static_cast<uint32_t>(v)); }

std::vector<uint8_t> reply_header(uint32_t command, uint32_t seqnum, int32_t status) {
  std::vector<uint8_t> pdu(kUsbipHeaderSize, 0);
  put_be32(&pdu[kUsbipCommandOffset], command);
  put_be32(&pdu[kUsbipSeqnumOffset], seqnum);
  // devid, direction and ep stay 0 in a reply.
  put_be32_signed(&pdu[kUsbipStatusOffset], status);
  return pdu;
}

}  // namespace

void UsbipReader::append(const uint8_t* bytes, size_t length) {
  held_.insert(held_.end(), bytes, bytes + length);
}

PduResult UsbipReader::next(UsbipCommand* out, const char** why) {
  if (held_.size() < kUsbipHeaderSize) return PduResult::kNeedMore;
  const uint8_t* h = held_.data();
  UsbipCommand c;
  c.command = get_be32(h + kUsbipCommandOffset);
  c.seqnum = get_be32(h + kUsbipSeqnumOffset);
  c.direction = get_be32(h + kUsbipDirectionOffset);
  c.ep = get_be32(h + kUsbipEpOffset);
  size_t data_length = 0;
  if (c.command == kUsbipCmdSubmit) {
    c.length = get_be32(h + kUsbipSubmitLengthOffset);
    const uint8_t* s = h + kUsbipSubmitSetupOffset;
    c.setup.request_type = s[0];
    c.setup.request = s[1];
    c.setup.value = get_le16(s + 2);
    c.setup.index = get_le16(s + 4);
    c.setup.length = get_le16(s + 6);
    if (c.direction == kUsbipDirOut) {
      if (c.length > kUsbipMaxOutLength) {
        *why = "an OUT transfer longer than 65536 bytes";
        return PduResult::kBad;
      }
      data_length = c.length;
    }
  } else if (c.command == kUsbipCmdUnlink) {
    c.unlink_seqnum = get_be32(h + kUsbipUnlinkSeqnumOffset);
  } else {
    *why = "a command that is neither CMD_SUBMIT nor CMD_UNLINK";
    return PduResult::kBad;
  }
  if (held_.size() < kUsbipHeaderSize + data_length) return PduResult::kNeedMore;
  c.data.assign(held_.begin() + kUsbipHeaderSize,
                held_.begin() + static_cast<std::ptrdiff_t>(kUsbipHeaderSize + data_length));
  held_.erase(held_.begin(),
              held_.begin() + static_cast<std::ptrdiff_t>(kUsbipHeaderSize + data_length));
  *out = std::move(c);
  *why = "";
  return PduResult::kCommand;
}

std::vector<uint8_t> ret_submit(uint32_t seqnum, int32_t status, uint32_t actual_length,
                                const std::vector<uint8_t>& in_data) {
  std::vector<uint8_t> pdu = reply_header(kUsbipRetSubmit, seqnum, status);
  put_be32(&pdu[kUsbipActualLengthOffset], actual_length);
  // start_frame, number_of_packets and error_count stay 0: nothing here is isochronous.
  pdu.insert(pdu.end(), in_data.begin(), in_data.end());
  return pdu;
}

std::vector<uint8_t> ret_unlink(uint32_t seqnum, int32_t status) {
  return reply_header(kUsbipRetUnlink, seqnum, status);
}

}  // namespace tessel::sim

// message_stream.cpp — reassembly of MBIM messages by MessageLength.
#include "modem_sim/message_stream.h"

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"

namespace tessel::sim {

void MessageStream::append(const uint8_t* bytes, size_t length) {
  held_.insert(held_.end(), bytes, bytes + length);
}

StreamResult MessageStream::next(std::vector<uint8_t>* out) {
  out->clear();
  uint32_t length = 0;
  if (!read_le32(held_.data(), held_.size(), kMessageLengthOffset, &length)) {
    return StreamResult::kNeedMore;
  }
  if (length < kHeaderSize || length > kMaxMessageSize) {
    out->swap(held_);
    held_.clear();
    return StreamResult::kDropped;
  }
  if (held_.size() < length) return StreamResult::kNeedMore;
  out->assign(held_.begin(), held_.begin() + length);
  held_.erase(held_.begin(), held_.begin() + length);
  return StreamResult::kMessage;
}

}  // namespace tessel::sim

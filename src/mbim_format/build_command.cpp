// build_command.cpp — see build_command.h.
#include "mbim_format/build_command.h"

#include <cstdlib>
#include <cstring>

#include "mbim_format/transaction_id.h"
#include "byte_order/byte_order.h"

namespace tessel {

MessagePtr build_command(const Uuid& service, uint32_t cid, uint32_t command_type,
                         const uint8_t* payload, uint32_t n) {
  if (n > UINT32_MAX - kCommandHeaderSize) return nullptr;
  const uint32_t length = static_cast<uint32_t>(kCommandHeaderSize) + n;
  MessagePtr msg(static_cast<uint8_t*>(std::malloc(length)));
  if (!msg) return nullptr;
  uint8_t* m = msg.get();
  put_le32(m + kMessageTypeOffset, MBIM_COMMAND_MSG);
  put_le32(m + kMessageLengthOffset, length);
  put_le32(m + kTransactionIdOffset, next_transaction_id());
  put_le32(m + kTotalFragmentsOffset, 1);
  put_le32(m + kCurrentFragmentOffset, 0);
  std::memcpy(m + kServiceIdOffset, service.bytes.data(), kServiceIdSize);
  put_le32(m + kCidOffset, cid);
  put_le32(m + kCommandTypeOffset, command_type);
  put_le32(m + kInfoLengthOffset, n);
  if (n > 0) {
    if (payload != nullptr) {
      std::memcpy(m + kInfoOffset, payload, n);
    } else {
      std::memset(m + kInfoOffset, 0, n);
    }
  }
  return msg;
}

void set_info_length(uint8_t* msg, uint32_t n) {
  put_le32(msg + kInfoLengthOffset, n);
  put_le32(msg + kMessageLengthOffset, static_cast<uint32_t>(kCommandHeaderSize) + n);
}

}  // namespace tessel

// mbim_messages.cpp — reading commands and building the modem's messages.
#include "modem_sim/mbim_messages.h"

#include <algorithm>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"

namespace tessel::sim {

namespace {

// MBIM_OPEN_DONE, MBIM_CLOSE_DONE and MBIM_FUNCTION_ERROR_MSG: header + one word.
constexpr size_t kShortReplySize = 16;

// A message of `size` bytes, zeroed but for its header, whose MessageLength
// is `size`.
std::vector<uint8_t> with_header(uint32_t type, size_t size, uint32_t transaction_id) {
  std::vector<uint8_t> m(size);
  put_le32(&m[kMessageTypeOffset], type);
  put_le32(&m[kMessageLengthOffset], static_cast<uint32_t>(size));
  put_le32(&m[kTransactionIdOffset], transaction_id);
  return m;
}

// What a command done and an indication carry after the header: one
// fragment (TotalFragments 1, CurrentFragment 0), DeviceServiceId, CID.
void put_single_fragment(std::vector<uint8_t>* m, const ServiceId& service, uint32_t cid) {
  put_le32(&(*m)[kTotalFragmentsOffset], 1);
  put_le32(&(*m)[kCurrentFragmentOffset], 0);
  std::copy(service.begin(), service.end(), m->begin() + kServiceIdOffset);
  put_le32(&(*m)[kCidOffset], cid);
}

std::vector<uint8_t> short_reply(uint32_t type, uint32_t transaction_id, size_t word_offset,
                                 uint32_t word) {
  std::vector<uint8_t> m = with_header(type, kShortReplySize, transaction_id);
  put_le32(&m[word_offset], word);
  return m;
}

}  // namespace

uint32_t parse_command(const uint8_t* message, size_t length, CommandRequest* out,
                       const char** why) {
  *out = CommandRequest{};
  read_le32(message, length, kTransactionIdOffset, &out->transaction_id);
  if (length < kCommandHeaderSize) {
    *why = "command shorter than its 48-byte header";
    return kErrorLengthMismatch;
  }
  std::copy(message + kServiceIdOffset, message + kServiceIdOffset + kServiceIdSize,
            out->service.begin());
  out->cid = get_le32(message + kCidOffset);
  out->command_type = get_le32(message + kCommandTypeOffset);
  uint32_t info_length = get_le32(message + kInfoLengthOffset);
  if (info_length != length - kCommandHeaderSize) {
    *why = "InformationBufferLength disagrees with MessageLength";
    return kErrorLengthMismatch;
  }
  out->info = message + kInfoOffset;
  out->info_length = info_length;
  if (get_le32(message + kTotalFragmentsOffset) != 1 ||
      get_le32(message + kCurrentFragmentOffset) != 0) {
    *why = "not a single fragment (TotalFragments 1, CurrentFragment 0)";
    return kErrorFragmentOutOfSequence;
  }
  *why = "";
  return 0;
}

std::vector<uint8_t> command_done(const CommandRequest& request, uint32_t status,
                                  const std::vector<uint8_t>& info) {
  std::vector<uint8_t> m =
      with_header(MBIM_COMMAND_DONE, kInfoOffset + info.size(), request.transaction_id);
  put_single_fragment(&m, request.service, request.cid);
  put_le32(&m[kCommandDoneStatusOffset], status);
  put_le32(&m[kInfoLengthOffset], static_cast<uint32_t>(info.size()));
  std::copy(info.begin(), info.end(), m.begin() + kInfoOffset);
  return m;
}

std::vector<uint8_t> open_close_done(uint32_t type, uint32_t transaction_id, uint32_t status) {
  return short_reply(type, transaction_id, kDoneStatusOffset, status);
}

std::vector<uint8_t> function_error(uint32_t transaction_id, uint32_t error_status_code) {
  return short_reply(MBIM_FUNCTION_ERROR_MSG, transaction_id, kErrorStatusCodeOffset,
                     error_status_code);
}

std::vector<uint8_t> indicate_status(const ServiceId& service, uint32_t cid,
                                     const std::vector<uint8_t>& info) {
  std::vector<uint8_t> m =
      with_header(MBIM_INDICATE_STATUS_MSG, kIndicateInfoOffset + info.size(), 0);
  put_single_fragment(&m, service, cid);
  put_le32(&m[kIndicateInfoLengthOffset], static_cast<uint32_t>(info.size()));
  std::copy(info.begin(), info.end(), m.begin() + kIndicateInfoOffset);
  return m;
}

}  // namespace tessel::sim

// mbim_answer.h — the modem's answers, built byte by byte for the tests.
//
// MBIM_COMMAND_DONE, as a modem sends it (u32 little-endian fields):
//    0  MessageType 0x80000003    4  MessageLength 48 + n     8  TransactionId
//   12  TotalFragments 1         16  CurrentFragment 0       20  DeviceServiceId
//   36  CID                      40  Status                  44  InformationBufferLength n
//   48  InformationBuffer
// Every test that needs an answer builds it here, so a change of what an
// answer must carry (its service and CID, say) is made once.
#ifndef TESSEL_TESTS_SUPPORT_MBIM_ANSWER_H_
#define TESSEL_TESTS_SUPPORT_MBIM_ANSWER_H_

#include <cstdint>
#include <cstring>
#include <vector>

#include "byte_order/byte_order.h"

namespace mbim_answer {

// A COMMAND_DONE for TransactionId `tid` with `status` and `info`. When
// `claimed_length` is given it is written as InformationBufferLength instead
// of the true size, to play a peer whose lengths lie. `service` (16 bytes, or
// null for zeros) and `cid` name what it answers.
inline std::vector<uint8_t> command_done(uint32_t tid, uint32_t status,
                                         const std::vector<uint8_t>& info,
                                         int64_t claimed_length = -1,
                                         const uint8_t* service = nullptr, uint32_t cid = 0) {
  std::vector<uint8_t> m(48 + info.size(), 0);
  tessel::put_le32(&m[0], 0x80000003);
  tessel::put_le32(&m[4], static_cast<uint32_t>(m.size()));
  tessel::put_le32(&m[8], tid);
  tessel::put_le32(&m[12], 1);
  if (service != nullptr) std::memcpy(&m[20], service, 16);
  tessel::put_le32(&m[36], cid);
  tessel::put_le32(&m[40], status);
  tessel::put_le32(&m[44], claimed_length >= 0 ? static_cast<uint32_t>(claimed_length)
                                               : static_cast<uint32_t>(info.size()));
  if (!info.empty()) std::memcpy(&m[48], info.data(), info.size());
  return m;
}

// The answer to `request` (a COMMAND_MSG): its TransactionId, service and CID.
inline std::vector<uint8_t> answer_to(const uint8_t* request, uint32_t status,
                                      const std::vector<uint8_t>& info) {
  return command_done(tessel::get_le32(request + 8), status, info, -1, request + 20,
                      tessel::get_le32(request + 36));
}

}  // namespace mbim_answer

#endif  // TESSEL_TESTS_SUPPORT_MBIM_ANSWER_H_

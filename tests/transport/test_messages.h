// test_messages.h — MBIM messages built by hand for the transport tests.
#ifndef TESSEL_TESTS_TEST_MESSAGES_H_
#define TESSEL_TESTS_TEST_MESSAGES_H_

#include <cstdint>
#include <vector>

#include "mbim_answer.h"
#include "byte_order/byte_order.h"

namespace test_messages {

// A message of `length` bytes with the given header; the body is `fill`.
inline std::vector<uint8_t> message(uint32_t type, uint32_t length, uint32_t tid,
                                    uint8_t fill = 0) {
  std::vector<uint8_t> m(length < 12 ? 12 : length, fill);
  tessel::put_le32(&m[0], type);
  tessel::put_le32(&m[4], length);
  tessel::put_le32(&m[8], tid);
  return m;
}

// The service and CID of the transport tests' requests (QMBE, CID 21): an
// answer must name them to be delivered.
constexpr uint8_t kQmbe[16] = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                               0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
constexpr uint32_t kRequestCid = 21;

// A COMMAND_DONE answering those requests, `length` bytes in all, its
// InformationBuffer zeros.
inline std::vector<uint8_t> command_done(uint32_t tid, uint32_t length = 48) {
  return mbim_answer::command_done(tid, 0, std::vector<uint8_t>(length > 48 ? length - 48 : 0), -1,
                                   kQmbe, kRequestCid);
}

inline std::vector<uint8_t> indication(uint32_t length = 48) {
  return message(0x80000007, length, 0);
}

inline std::vector<uint8_t> join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

}  // namespace test_messages

#endif  // TESSEL_TESTS_TEST_MESSAGES_H_

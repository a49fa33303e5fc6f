// fake_transport.h — a scripted send_and_wait for testing commands alone.
//
// Each call records the request bytes and the timeout it was given, then
// plays the next scripted reply: a result code and, when the result is 0, a
// response block (copied into a C-allocated block of MessageLength + 1
// bytes, as the real transport hands it over).
#ifndef TESSEL_TESTS_FAKE_TRANSPORT_H_
#define TESSEL_TESTS_FAKE_TRANSPORT_H_

#include <cstdint>
#include <vector>

namespace fake_transport {

struct Reply {
  int err = 0;
  std::vector<uint8_t> response;  // handed over when err is 0
};

void reset();
void push(Reply reply);
std::vector<std::vector<uint8_t>> requests();
std::vector<uint32_t> timeouts();
int null_requests();  // calls that were given no request

// An MBIM_COMMAND_DONE: TransactionId, Status, InformationBuffer. When
// `claimed_length` is given it is written as InformationBufferLength instead
// of the true size, to play a peer whose lengths lie.
std::vector<uint8_t> command_done(uint32_t tid, uint32_t status, std::vector<uint8_t> info,
                                  int64_t claimed_length = -1);

}  // namespace fake_transport

#endif  // TESSEL_TESTS_FAKE_TRANSPORT_H_

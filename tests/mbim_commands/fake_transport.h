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

#include "mbim_answer.h"

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

using mbim_answer::command_done;

}  // namespace fake_transport

#endif  // TESSEL_TESTS_FAKE_TRANSPORT_H_

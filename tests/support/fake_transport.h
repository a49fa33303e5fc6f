// fake_transport.h — a scripted send_and_wait, for testing the commands
// without a modem: the unit tests push replies by hand, the fuzz targets
// (fuzz/fake_modem.h) push the replies their input spells.
//
// A binary links fake_transport.cpp in place of src/transport's.
// Each call records the request bytes and the timeout it was given, then
// plays the next scripted reply: a Status and, when it is ok, a response
// block, handed over as the real transport hands it: a C-allocated block of
// the response's size + 1 bytes. The extra byte carries nothing: it is zero,
// and poisoned under AddressSanitizer, so a command that reads it fails
// there. When the script runs out, nobody answers (kTimedOut).
//
// ctx_road() answers what set_road() last set (reset: Road::kNone, a
// channel handed in by a test).
//
// A COMMAND_MSG request whose MessageLength is not 48 + its
// InformationBufferLength traps: the tool's builder never makes one.
#ifndef TESSEL_TESTS_FAKE_TRANSPORT_H_
#define TESSEL_TESTS_FAKE_TRANSPORT_H_

#include <cstdint>
#include <vector>

#include "mbim_answer.h"
#include "transport/transport.h"

namespace fake_transport {

struct Reply {
  tessel::Status err;
  std::vector<uint8_t> response;  // handed over when err is ok
  // Writes the request's TransactionId into the response (bytes 8..11)
  // first, as a transport that matched the answer to its request would.
  bool answers_request = false;
};

void reset();
void set_road(tessel::Road road);
void push(Reply reply);
std::vector<std::vector<uint8_t>> requests();
std::vector<uint32_t> timeouts();
int null_requests();  // calls that were given no request

using mbim_answer::command_done;

}  // namespace fake_transport

#endif  // TESSEL_TESTS_FAKE_TRANSPORT_H_

// command_fixture.h — what every command test starts from: an empty script
// in the scripted transport and an empty log; and the InformationBuffer of a
// request the transport recorded (the bytes after its 48-byte header).
#ifndef TESSEL_TESTS_MBIM_COMMANDS_COMMAND_FIXTURE_H_
#define TESSEL_TESTS_MBIM_COMMANDS_COMMAND_FIXTURE_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "capture_log.h"
#include "fake_transport.h"

namespace command_test {

class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_transport::reset();
    capture_log::clear();
  }
};

inline std::vector<uint8_t> info_of(const std::vector<uint8_t>& request) {
  return std::vector<uint8_t>(request.begin() + 48, request.end());
}

}  // namespace command_test

#endif  // TESSEL_TESTS_MBIM_COMMANDS_COMMAND_FIXTURE_H_

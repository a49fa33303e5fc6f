// mbim_messages.h — the modem's side of the MBIM control messages: reading a
// host's MBIM_COMMAND_MSG and building the messages the modem sends.
//
// Layouts are those of mbim_format/mbim_message.h; every field read from a
// request is checked to lie inside the bytes received.
#ifndef TESSEL_TOOLS_MODEM_SIM_MBIM_MESSAGES_H_
#define TESSEL_TOOLS_MODEM_SIM_MBIM_MESSAGES_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "byte_order/byte_order.h"

namespace tessel::sim {

using ServiceId = std::array<uint8_t, 16>;

// MBIM Status values the simulator answers with.
enum MbimStatus : uint32_t {
  kStatusSuccess = 0,
  kStatusBusy = 1,
  kStatusFailure = 2,
  kStatusNoDeviceSupport = 9,
};

// MBIM_FUNCTION_ERROR_MSG ErrorStatusCode values.
enum MbimError : uint32_t {
  kErrorFragmentOutOfSequence = 2,
  kErrorLengthMismatch = 3,
  kErrorNotOpened = 5,
};

// One MBIM_COMMAND_MSG as received. `info` points into the message, which
// must outlive this view.
struct CommandRequest {
  uint32_t transaction_id = 0;
  ServiceId service{};
  uint32_t cid = 0;
  uint32_t command_type = 0;
  const uint8_t* info = nullptr;
  size_t info_length = 0;
};

// Reads the command in `message` (`length` bytes, MessageType 3). Returns 0,
// or the ErrorStatusCode the modem's MBIM layer answers a malformed command
// with: LENGTH_MISMATCH when the message is shorter than the command header
// or its InformationBufferLength disagrees with its MessageLength,
// FRAGMENT_OUT_OF_SEQUENCE when it is not a single fragment (1 of 1).
// `*why` names the fault. Fields that could be read are filled either way.
uint32_t parse_command(const uint8_t* message, size_t length, CommandRequest* out,
                       const char** why);

// MBIM_COMMAND_DONE answering `request`: same TransactionId, service and CID,
// TotalFragments 1, CurrentFragment 0.
std::vector<uint8_t> command_done(const CommandRequest& request, uint32_t status,
                                  const std::vector<uint8_t>& info);

// MBIM_OPEN_DONE or MBIM_CLOSE_DONE (`type`), 16 bytes.
std::vector<uint8_t> open_close_done(uint32_t type, uint32_t transaction_id, uint32_t status);

// MBIM_FUNCTION_ERROR_MSG, 16 bytes.
std::vector<uint8_t> function_error(uint32_t transaction_id, uint32_t error_status_code);

// MBIM_INDICATE_STATUS_MSG, TransactionId 0.
std::vector<uint8_t> indicate_status(const ServiceId& service, uint32_t cid,
                                     const std::vector<uint8_t>& info);

// An InformationBuffer of `words`, one after another, each little-endian.
template <size_t N>
std::vector<uint8_t> words_info(const std::array<uint32_t, N>& words) {
  std::vector<uint8_t> info(4 * N);
  for (size_t i = 0; i < N; ++i) put_le32(&info[4 * i], words[i]);
  return info;
}

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_MBIM_MESSAGES_H_

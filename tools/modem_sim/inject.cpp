// inject.cpp — builds the messages that --inject puts in front of replies.
#include "modem_sim/inject.h"

#include <algorithm>
#include <array>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/mbim_messages.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

constexpr uint32_t kUnrelatedTransactionOffset = 1000;
constexpr size_t kGarbageSize = 64;

// MBIM_SIGNAL_STATE_INFO.
constexpr std::array<uint32_t, 5> kSignalStateWords = {
    20,  // Rssi: -73 dBm
    99,  // ErrorRate: unknown
    5,   // SignalStrengthInterval: seconds
    0,   // RssiThreshold: modem's default
    0,   // ErrorRateThreshold: modem's default
};

// A done for another TransactionId: the request's own service and CID when it
// is a command, else basic connect radio state.
std::vector<uint8_t> unrelated_done(const uint8_t* request, size_t length) {
  CommandRequest other;
  other.service = kServiceBasicConnect;
  other.cid = kCidRadioState;
  read_le32(request, length, kTransactionIdOffset, &other.transaction_id);
  uint32_t type = 0;
  read_le32(request, length, kMessageTypeOffset, &type);
  if (type == MBIM_COMMAND_MSG && length >= kCommandHeaderSize) {
    std::copy(request + kServiceIdOffset, request + kServiceIdOffset + kServiceIdSize,
              other.service.begin());
    other.cid = get_le32(request + kCidOffset);
  }
  other.transaction_id += kUnrelatedTransactionOffset;
  return command_done(other, kStatusSuccess, {});
}

// A lone header claiming `claimed` bytes.
std::vector<uint8_t> lying_header(uint32_t claimed) {
  std::vector<uint8_t> m(kHeaderSize, 0);
  put_le32(&m[kMessageTypeOffset], MBIM_COMMAND_DONE);
  put_le32(&m[kMessageLengthOffset], claimed);
  put_le32(&m[kTransactionIdOffset], 0);
  return m;
}

}  // namespace

std::vector<std::vector<uint8_t>> injected_messages(const std::vector<InjectKind>& kinds,
                                                    const uint8_t* request, size_t length,
                                                    std::mt19937* random) {
  std::vector<std::vector<uint8_t>> out;
  for (InjectKind kind : kinds) {
    switch (kind) {
      case InjectKind::kIndication:
        out.push_back(
            indicate_status(kServiceBasicConnect, kCidSignalState, words_info(kSignalStateWords)));
        break;
      case InjectKind::kUnrelated: out.push_back(unrelated_done(request, length)); break;
      case InjectKind::kLength0: out.push_back(lying_header(0)); break;
      case InjectKind::kLength5: out.push_back(lying_header(5)); break;
      case InjectKind::kLength100000: out.push_back(lying_header(100000)); break;
      case InjectKind::kGarbage: {
        std::vector<uint8_t> bytes(kGarbageSize);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>((*random)() & 0xFF);
        out.push_back(std::move(bytes));
        break;
      }
    }
  }
  return out;
}

}  // namespace tessel::sim

// inject.cpp — builds the messages that --inject puts in front of replies.
#include "modem_sim/inject.h"

#include <algorithm>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/mbim_messages.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

constexpr uint32_t kUnrelatedTransactionOffset = 1000;
constexpr size_t kGarbageSize = 64;

// MBIM_SIGNAL_STATE_INFO: Rssi, ErrorRate, SignalStrengthInterval,
// RssiThreshold, ErrorRateThreshold.
std::vector<uint8_t> signal_state() {
  std::vector<uint8_t> info(20, 0);
  put_le32(&info[0], 20);  // Rssi: -73 dBm
  put_le32(&info[4], 99);  // ErrorRate: unknown
  put_le32(&info[8], 5);   // SignalStrengthInterval: seconds
  put_le32(&info[12], 0);  // RssiThreshold: modem's default
  put_le32(&info[16], 0);  // ErrorRateThreshold: modem's default
  return info;
}

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
        out.push_back(indicate_status(kServiceBasicConnect, kCidSignalState, signal_state()));
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

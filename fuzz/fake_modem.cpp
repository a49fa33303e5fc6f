// fake_modem.cpp — see fake_modem.h.
#include "fake_modem.h"

#include <cstring>
#include <vector>

#include "byte_order/byte_order.h"
#include "fake_transport.h"
#include "mbim_format/mbim_message.h"

namespace fake_modem {
namespace {

using tessel::kHeaderSize;
using tessel::kMessageLengthOffset;

constexpr size_t kSeparatorLength = sizeof kReplySeparator - 1;

// What one reply of the input (its `size` bytes at `bytes`) has the
// transport do.
fake_transport::Reply decode(const uint8_t* bytes, size_t size) {
  const uint8_t mode = size > 0 ? bytes[0] & 3 : 0;
  const uint8_t* rest = size > 0 ? bytes + 1 : bytes;
  const size_t rest_size = size > 0 ? size - 1 : 0;
  fake_transport::Reply reply;
  reply.answers_request = true;
  switch (mode) {
    case 0: {
      reply.response.assign(rest, rest + rest_size);
      if (reply.response.size() < kHeaderSize) reply.response.resize(kHeaderSize, 0);
      tessel::put_le32(&reply.response[kMessageLengthOffset],
                       static_cast<uint32_t>(reply.response.size()));
      break;
    }
    case 1: {
      uint8_t head[5] = {};
      const size_t h = rest_size < sizeof head ? rest_size : sizeof head;
      if (h > 0) std::memcpy(head, rest, h);
      const std::vector<uint8_t> info(rest + h, rest + rest_size);
      const uint32_t claimed =
          static_cast<uint32_t>(info.size()) + tessel::get_le32(head + 1);  // wraps as it may
      reply.response = fake_transport::command_done(0, head[0], info, claimed);
      break;
    }
    case 2: {
      using tessel::Code;
      static constexpr Code kFailures[] = {Code::kNoChannel, Code::kWriteFailed, Code::kTimedOut};
      reply.err = kFailures[(rest_size > 0 ? rest[0] : 0) % 3];
      break;
    }
    default:
      reply.response =
          fake_transport::command_done(0, 0, std::vector<uint8_t>(rest, rest + rest_size));
      break;
  }
  return reply;
}

}  // namespace

void load(const uint8_t* data, size_t size) {
  fake_transport::reset();
  for (;;) {
    const void* cut = memmem(data, size, kReplySeparator, kSeparatorLength);
    if (cut == nullptr) {
      fake_transport::push(decode(data, size));
      return;
    }
    const size_t n = static_cast<size_t>(static_cast<const uint8_t*>(cut) - data);
    fake_transport::push(decode(data, n));
    data += n + kSeparatorLength;
    size -= n + kSeparatorLength;
  }
}

}  // namespace fake_modem

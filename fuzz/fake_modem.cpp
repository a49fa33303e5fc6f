// fake_modem.cpp — see fake_modem.h.
#include "fake_modem.h"

#include <sanitizer/asan_interface.h>

#include <cstdlib>
#include <cstring>

#include "mbim_ctx/exchange.h"
#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"

namespace fake_modem {
namespace {

using tessel::kCommandDoneStatusOffset;
using tessel::kHeaderSize;
using tessel::kInfoLengthOffset;
using tessel::kInfoOffset;
using tessel::kMessageLengthOffset;
using tessel::kMessageTypeOffset;
using tessel::kTotalFragmentsOffset;
using tessel::kTransactionIdOffset;

constexpr size_t kSeparatorLength = sizeof kReplySeparator - 1;

const uint8_t* g_next = nullptr;  // the rest of the script
size_t g_left = 0;
bool g_done = true;               // no reply left

struct Reply {
  const uint8_t* bytes;
  size_t size;
};

Reply take_reply() {
  Reply r{g_next, g_left};
  const void* cut = memmem(g_next, g_left, kReplySeparator, kSeparatorLength);
  if (cut == nullptr) {
    g_done = true;
    g_left = 0;
    return r;
  }
  r.size = static_cast<size_t>(static_cast<const uint8_t*>(cut) - g_next);
  g_next += r.size + kSeparatorLength;
  g_left -= r.size + kSeparatorLength;
  return r;
}

// A block as the transport hands it over: `size` bytes, then one poisoned.
uint8_t* handover_block(size_t size) {
  uint8_t* block = static_cast<uint8_t*>(std::calloc(1, size + 1));
  if (block == nullptr) std::abort();
  ASAN_POISON_MEMORY_REGION(block + size, 1);
  return block;
}

uint8_t* whole_message(const uint8_t* bytes, size_t size, uint32_t tid) {
  const size_t length = size < kHeaderSize ? kHeaderSize : size;
  uint8_t* m = handover_block(length);
  if (size > 0) std::memcpy(m, bytes, size);
  tessel::put_le32(m + kMessageLengthOffset, static_cast<uint32_t>(length));
  tessel::put_le32(m + kTransactionIdOffset, tid);
  return m;
}

uint8_t* command_done(uint32_t tid, uint32_t status, const uint8_t* info, size_t size,
                      uint32_t claimed) {
  uint8_t* m = handover_block(kInfoOffset + size);
  tessel::put_le32(m + kMessageTypeOffset, tessel::MBIM_COMMAND_DONE);
  tessel::put_le32(m + kMessageLengthOffset, static_cast<uint32_t>(kInfoOffset + size));
  tessel::put_le32(m + kTransactionIdOffset, tid);
  tessel::put_le32(m + kTotalFragmentsOffset, 1);
  tessel::put_le32(m + kCommandDoneStatusOffset, status);
  tessel::put_le32(m + kInfoLengthOffset, claimed);
  if (size > 0) std::memcpy(m + kInfoOffset, info, size);
  return m;
}

// Plays one reply: the exchange's result, and the block on 0.
int play(const Reply& r, uint32_t tid, uint8_t** response) {
  const uint8_t mode = r.size > 0 ? r.bytes[0] & 3 : 0;
  const uint8_t* rest = r.size > 0 ? r.bytes + 1 : r.bytes;
  const size_t rest_size = r.size > 0 ? r.size - 1 : 0;
  switch (mode) {
    case 0:
      *response = whole_message(rest, rest_size, tid);
      return 0;
    case 1: {
      uint8_t head[5] = {};
      const size_t h = rest_size < sizeof head ? rest_size : sizeof head;
      if (h > 0) std::memcpy(head, rest, h);
      const uint32_t info_size = static_cast<uint32_t>(rest_size - h);
      const uint32_t claimed = info_size + tessel::get_le32(head + 1);  // wraps as it may
      *response = command_done(tid, head[0], rest + h, info_size, claimed);
      return 0;
    }
    case 2: {
      static constexpr int kFailures[] = {-19, -1, 110};
      return kFailures[(rest_size > 0 ? rest[0] : 0) % 3];
    }
    default:
      *response = command_done(tid, 0, rest, rest_size, static_cast<uint32_t>(rest_size));
      return 0;
  }
}

}  // namespace

void load(const uint8_t* data, size_t size) {
  g_next = data;
  g_left = size;
  g_done = false;
}

}  // namespace fake_modem

namespace tessel {

int send_and_wait(const uint8_t* request, uint8_t** response, uint32_t) {
  using namespace fake_modem;
  if (request == nullptr) return -19;
  if (response != nullptr) *response = nullptr;
  // A command request comes from the builder: its two lengths agree.
  if (get_le32(request + kMessageTypeOffset) == MBIM_COMMAND_MSG &&
      get_le32(request + kMessageLengthOffset) != kInfoOffset + get_le32(request + kInfoLengthOffset))
    __builtin_trap();
  if (g_done) return 110;
  const Reply r = take_reply();
  uint8_t* block = nullptr;
  const int err = play(r, get_le32(request + kTransactionIdOffset), &block);
  if (response != nullptr) {
    *response = block;
  } else {
    std::free(block);
  }
  return err;
}

int send_request(const uint8_t* request, uint8_t** response) {
  return send_and_wait(request, response, kDefaultTimeoutSeconds);
}

}  // namespace tessel

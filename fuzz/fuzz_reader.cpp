// fuzz_reader.cpp — what the reader thread does with received bytes: the
// splitter cuts them into messages and each message is dumped in verbose
// mode, as it would be from the modem or any peer on the proxy socket.
//
// Input: byte 0 chooses the channel and how the rest arrives:
//   bit 0      set: a byte stream (proxy socket), clear: a device node;
//   bits 1..7  k, the size of each read: k = 0 as much as the buffer takes,
//              1..63 k bytes, 64..127 (k - 63) * 64 bytes;
// the rest is what the channel delivers, read by read.
//
// Each message handed on is copied into an exact heap block before it is
// dumped, so a read past its MessageLength fails under AddressSanitizer.
// The whole input is then dumped once more as one block, for the dump's own
// promise to stay inside whatever number of bytes it is given.
//
// Besides the sanitizers, the messages handed on must be those a plain walk
// over the bytes finds (walk() below): on a stream, whatever the cuts, up to
// the first MessageLength below the header (after which the splitter drops
// what it holds and what follows depends on the cuts); on a device node, per
// read, for every read that finds no part of an earlier one kept or begins
// with a MessageType the modem sends (such a read starts afresh). A read
// that continues a part may hand on the joined message first; what it hands
// on is then only held to the sanitizers and to its MessageLength.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "transport/message_splitter.h"
#include "mbim_dump/dump_message.h"
#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"

namespace {

using Message = std::vector<uint8_t>;

void dump_exact(const uint8_t* bytes, size_t size) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
  if (size > 0) std::memcpy(copy.get(), bytes, size);
  tessel::dump_message(copy.get(), size, 1);
}

void deliver(const uint8_t* msg, uint32_t length, void* context) {
  if (length < tessel::kHeaderSize || tessel::get_le32(msg + tessel::kMessageLengthOffset) != length)
    __builtin_trap();
  static_cast<std::vector<Message>*>(context)->emplace_back(msg, msg + length);
  dump_exact(msg, length);
}

// The messages in `n` bytes read as one piece. Returns false when the walk
// stopped at a MessageLength below the header.
bool walk(const uint8_t* bytes, size_t n, bool stream, std::vector<Message>* out) {
  size_t pos = 0;
  while (n - pos >= tessel::kMessageLengthOffset + 4) {
    const uint32_t length = tessel::get_le32(bytes + pos + tessel::kMessageLengthOffset);
    if (length < tessel::kHeaderSize) return false;
    // Not all here: in a stream it completes later (or, oversize, is stepped
    // over), on a device node it is dropped; either way nothing follows.
    if (length > n - pos) return true;
    if (stream && length > tessel::kReceiveBufferSize) {
      pos += length;  // never held whole: stepped over
      continue;
    }
    out->emplace_back(bytes + pos, bytes + pos + length);
    pos += length;
  }
  return true;
}

// True when `n` bytes begin with one of the five modem-to-host MessageTypes.
bool starts_message(const uint8_t* bytes, size_t n) {
  if (n < 4) return false;
  const uint32_t type = tessel::get_le32(bytes);
  return type == tessel::MBIM_OPEN_DONE || type == tessel::MBIM_CLOSE_DONE ||
         type == tessel::MBIM_COMMAND_DONE || type == tessel::MBIM_FUNCTION_ERROR_MSG ||
         type == tessel::MBIM_INDICATE_STATUS_MSG;
}

size_t read_size(unsigned k, size_t room) {
  size_t n = room;
  if (k >= 64) {
    n = (k - 63) * 64;
  } else if (k > 0) {
    n = k;
  }
  return n < room ? n : room;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool stream = (data[0] & 1) != 0;
  const unsigned k = data[0] >> 1;
  const uint8_t* bytes = data + 1;
  const size_t n = size - 1;

  auto splitter = std::make_unique<tessel::MessageSplitter>(stream);
  std::vector<Message> handed_on;
  std::vector<Message> expected;
  for (size_t pos = 0; pos < n;) {
    const size_t chunk = read_size(k, splitter->read_room());
    const size_t take = chunk < n - pos ? chunk : n - pos;
    std::memcpy(splitter->read_target(), bytes + pos, take);
    const bool afresh = splitter->held() == 0 || starts_message(bytes + pos, take);
    const size_t before = handed_on.size();
    splitter->received(take, deliver, &handed_on);
    if (!stream) {
      // A part never outgrows the buffer, and a node read always gets all of it.
      if (splitter->held() > tessel::kReceiveBufferSize) __builtin_trap();
      if (splitter->read_room() != tessel::kReceiveBufferSize) __builtin_trap();
      if (afresh) {
        std::vector<Message> per_read;
        walk(bytes + pos, take, false, &per_read);
        if (!std::equal(handed_on.begin() + static_cast<std::ptrdiff_t>(before), handed_on.end(),
                        per_read.begin(), per_read.end()))
          __builtin_trap();
      }
    }
    if (splitter->read_room() == 0) __builtin_trap();
    pos += take;
  }

  if (stream) {
    const bool exact = walk(bytes, n, true, &expected);
    if (handed_on.size() < expected.size() || (exact && handed_on.size() != expected.size()))
      __builtin_trap();
    for (size_t i = 0; i < expected.size(); ++i)
      if (handed_on[i] != expected[i]) __builtin_trap();
  }

  dump_exact(bytes, n);
  return 0;
}

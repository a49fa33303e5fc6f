// message_splitter.cpp — see message_splitter.h.
#include "transport/message_splitter.h"

#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "transport/transport_log.h"

TESSEL_LOG_MODULE(::tessel::kTransportLogFile);

namespace tessel {
namespace {

constexpr uint32_t kModemToHostTypes[] = {MBIM_OPEN_DONE, MBIM_CLOSE_DONE, MBIM_COMMAND_DONE,
                                          MBIM_FUNCTION_ERROR_MSG, MBIM_INDICATE_STATUS_MSG};

// True when the first `held` bytes of `p` (all of them when fewer than 4)
// agree with a MessageType the modem sends.
bool type_could_be(const uint8_t* p, size_t held) {
  for (uint32_t type : kModemToHostTypes) {
    bool same = true;
    for (size_t i = 0; i < 4 && i < held; ++i) {
      same = same && p[i] == static_cast<uint8_t>(type >> (8 * i));
    }
    if (same) return true;
  }
  return false;
}

// True when a read of `n` bytes begins with a MessageType the modem sends.
bool starts_message(const uint8_t* p, size_t n) { return n >= 4 && type_could_be(p, 4); }

// True when the `held` bytes at `p` could be the start of a message the
// modem sends that fits the receive buffer (message_splitter.h).
bool could_begin_message(const uint8_t* p, size_t held) {
  if (!type_could_be(p, held)) return false;
  if (held < kMessageLengthOffset + 4) return true;
  const uint32_t length = get_le32(p + kMessageLengthOffset);
  if (length < kHeaderSize || length > kReceiveBufferSize) return false;
  size_t info_length_at = 0;
  size_t info_at = 0;
  switch (get_le32(p + kMessageTypeOffset)) {
    case MBIM_COMMAND_DONE:
      info_length_at = kInfoLengthOffset;
      info_at = kInfoOffset;
      break;
    case MBIM_INDICATE_STATUS_MSG:
      info_length_at = kIndicateInfoLengthOffset;
      info_at = kIndicateInfoOffset;
      break;
    default:
      return true;
  }
  if (held < info_length_at + 4) return true;
  return uint64_t{info_at} + get_le32(p + info_length_at) <= length;
}

}  // namespace

void MessageSplitter::note_unusable(uint32_t bytes, uint32_t left, uint32_t length) {
  unusable_ = bytes > UINT32_MAX - unusable_ ? UINT32_MAX : unusable_ + bytes;
  if (drops_ < kDropRecords) {
    ++drops_;
    LOG_NUM(LOG_ERROR, "[tessel] error: read=%d MessageLength=%u", left, length);
  }
}

void MessageSplitter::drop_all(uint32_t left, uint32_t length) {
  note_unusable(left, left, length);
  held_ = 0;
}

void MessageSplitter::hold_or_drop(size_t pos, uint32_t left, uint32_t length) {
  if (!could_begin_message(buffer_.data() + pos, left)) {
    drop_all(left, length);
    return;
  }
  std::memcpy(part_.data(), buffer_.data() + pos, left);
  part_held_ = left;
  held_ = 0;
}

void MessageSplitter::drop_part() {
  const uint32_t held = static_cast<uint32_t>(part_held_);
  const uint32_t length =
      held >= kMessageLengthOffset + 4 ? get_le32(part_.data() + kMessageLengthOffset) : 0;
  note_unusable(held, held, length);
  part_held_ = 0;
}

// Node: the read just received (held_ bytes at the buffer's start) after a
// part. Returns where cutting the read goes on: 0 when the part was dropped,
// past the bytes that completed it, or the read's end when it only grew.
size_t MessageSplitter::join_part(Sink sink, void* context) {
  const uint8_t* read = buffer_.data();
  if (starts_message(read, held_)) {
    drop_part();
    return 0;
  }
  const uint32_t joined = static_cast<uint32_t>(part_held_ + held_);
  size_t used = 0;
  while (used < held_) {
    // First the MessageLength, then the bytes up to it.
    const size_t goal = part_held_ < kMessageLengthOffset + 4
                            ? kMessageLengthOffset + 4
                            : get_le32(part_.data() + kMessageLengthOffset);
    const size_t take = goal - part_held_ < held_ - used ? goal - part_held_ : held_ - used;
    std::memcpy(part_.data() + part_held_, read + used, take);
    part_held_ += take;
    used += take;
    if (!could_begin_message(part_.data(), part_held_)) {
      drop_part();
      return 0;
    }
    if (part_held_ == goal && goal > kMessageLengthOffset + 4) {
      const uint32_t length = static_cast<uint32_t>(part_held_);
      part_held_ = 0;
      LOG_NUM(LOG_NORMAL, "[tessel] read=%d MessageLength=%u", joined, length);
      unusable_ = 0;
      drops_ = 0;
      sink(part_.data(), length, context);
      return used;
    }
  }
  return used;
}

void MessageSplitter::received(size_t n, Sink sink, void* context) {
  held_ += n;
  size_t pos = part_held_ > 0 ? join_part(sink, context) : 0;
  while (pos < held_) {
    const uint32_t left = static_cast<uint32_t>(held_ - pos);
    if (skip_ > 0) {
      const uint32_t take = skip_ < left ? skip_ : left;
      skip_ -= take;
      pos += take;
      continue;
    }
    if (left < kMessageTypeOffset + 8) {  // MessageLength not here yet
      if (!stream_) {
        hold_or_drop(pos, left, 0);
        return;
      }
      break;
    }
    const uint32_t length = get_le32(buffer_.data() + pos + kMessageLengthOffset);
    if (length < kHeaderSize) {
      drop_all(left, length);
      return;
    }
    if (length > left) {
      if (!stream_) {
        hold_or_drop(pos, left, length);
        return;
      }
      if (length > buffer_.size()) {
        // Can never be held whole: step over it as it streams past. It is
        // a message all the same (the proxy forwards long indications
        // whole), so its bytes do not count as garbage.
        if (drops_ < kDropRecords) {
          ++drops_;
          LOG_NUM(LOG_ERROR, "[tessel] error: read=%d MessageLength=%u", left, length);
        }
        skip_ = length;
        continue;
      }
      break;  // the rest arrives with the next read
    }
    LOG_NUM(LOG_NORMAL, "[tessel] read=%d MessageLength=%u", left, length);
    unusable_ = 0;
    drops_ = 0;
    sink(buffer_.data() + pos, length, context);
    pos += length;
  }
  // Keep the partial trailing message at the buffer's start.
  const size_t rest = held_ - pos;
  if (rest > 0 && pos > 0) std::memmove(buffer_.data(), buffer_.data() + pos, rest);
  held_ = rest;
}

}  // namespace tessel

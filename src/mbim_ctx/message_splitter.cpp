// message_splitter.cpp — see message_splitter.h.
#include "mbim_ctx/message_splitter.h"

#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/wire.h"

TESSEL_LOG_MODULE("src/mbim_ctx");

namespace tessel {

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

void MessageSplitter::received(size_t n, Sink sink, void* context) {
  held_ += n;
  size_t pos = 0;
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
        drop_all(left, 0);
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
        drop_all(left, length);
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

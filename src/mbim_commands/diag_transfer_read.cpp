// diag_transfer_read.cpp — the table the modem holds, read back in as many DIAG read
// packets as the modem needs (mbim_GetSarValue, diag_transfer.h).
//
// The first reply announces the table's size (BytesReadLen plus
// BytesRemainingLen); every later reply must go on from there: it brings at
// least one byte, no more than are still to come, and announces the same
// size. The read is bounded by that progress, not by a count of replies, and
// the whole table is checked against the caller's buffer before the first
// byte is copied.
#include "mbim_commands/diag_transfer.h"

#include <array>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_commands/diag_exchange.h"
#include "mbim_commands/stop_request.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/diag_packet.h"
#include "mbim_format/diag_request.h"
#include "mbim_format/protocol_log.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

// A reply decoded: its 20 bytes before the table bytes and up to 4096 of
// them, with room to spare.
constexpr size_t kDecodeBufferSize = 5120;
static_assert(kDecodeBufferSize >= kDiagReplyDataOffset + kDiagMaxReadReply, "a whole reply fits");

// The size a first reply announces: refused when the read could not reach
// its end (the offset would wrap) or the caller could not hold it.
Status check_total(uint32_t total, size_t capacity) {
  if (total > kDiagMaxReadTable) {
    LOG_NUM(LOG_ERROR, "[tessel] ERROR:table too long,total:%u,limit:%u", total, kDiagMaxReadTable);
    return Code::kReadOverflow;
  }
  if (total > capacity) {
    LOG_NUM(LOG_ERROR, "[tessel] ERROR:buffer too small,total:%u,capacity:%u", total,
            static_cast<uint32_t>(capacity));
    return Code::kReadOverflow;
  }
  return Code::kOk;
}

// A reply after `offset` of `total` bytes: it must carry part of what is
// left, and what it says is left must be the rest. Replies that break this
// would leave a hole, overlap or a tail beyond the table in the caller's
// buffer, or never end.
Status check_progress(uint32_t offset, uint32_t total, uint16_t read_len, uint16_t remaining) {
  const uint32_t left = total - offset;
  if (read_len > left) {
    LOG_NUM(LOG_ERROR, "[tessel] ERROR:reply longer than the rest,offset:%u,BytesReadLen:%u,total:%u",
            offset, read_len, total);
    return Code::kBadReply;
  }
  if (read_len == 0 && left > 0) {
    LOG_NUM(LOG_ERROR, "[tessel] ERROR:empty reply,offset:%u,total:%u", offset, total);
    return Code::kBadReply;
  }
  if (uint32_t{read_len} + remaining != left) {
    LOG_NUM(LOG_ERROR,
            "[tessel] ERROR:total changed,total:%u,offset:%u,BytesReadLen:%u,BytesRemainingLen:%u",
            total, offset, read_len, remaining);
    return Code::kBadReply;
  }
  return Code::kOk;
}

}  // namespace

Status mbim_GetSarValue(uint8_t* data, size_t capacity, uint16_t* total_length) {
  if (data == nullptr) capacity = 0;
  std::array<uint8_t, kDecodeBufferSize> decoded{};
  DiagPacket packet;

  // Both stay within kDiagMaxReadTable once the first reply is in, so the offset
  // always fits its 16-bit field.
  uint32_t offset = 0;
  uint32_t total = 0;
  bool first = true;
  int busy = 0;
  for (;;) {
    if (!first) {
      if (const int stop = stop_requested()) {
        LOG_NUM(LOG_ERROR, "[tessel] table read stopped by signal %d after %u of %u bytes", stop, offset,
                total);
        return Code::kStopped;
      }
    }
    // A resend after BUSY (inside the exchange) repeats this very packet.
    build_read_packet(&packet, static_cast<uint16_t>(offset));

    Answer answer;
    const Status sent = exchange_with_retries(&packet, &busy, &answer);
    if (!sent.ok()) return sent;
    if (busy > 0) --busy;

    size_t count = 0;
    if (diag_unframe(answer.info, answer.length, decoded.data(), decoded.size(), &count) != 0) {
      return Code::kTransfer;
    }
    // A reply too short for its own counts would show the previous reply's.
    if (count < kDiagReplyDataOffset) {
      LOG_NUM(LOG_ERROR, "[tessel] ERROR:short msg,received:%zd", count);
      return Code::kTransfer;
    }
    const uint16_t read_len = get_le16(decoded.data() + kDiagBytesReadOffset);
    const uint16_t remaining = get_le16(decoded.data() + kDiagBytesRemainingOffset);
    if (first) {
      total = uint32_t{read_len} + remaining;  // no 16-bit wrap: 65535 + 1 is refused, not 0
      if (total <= kDiagMaxReadTable && total_length != nullptr) {
        *total_length = static_cast<uint16_t>(total);
      }
    }
    LOG_NUM(LOG_NORMAL, "[tessel] BytesReadLen:%zd,BytesRemainingLen:%zd", read_len, remaining);
    if (read_len > kDiagMaxReadReply) {
      LOG_NUM(LOG_NORMAL, "[tessel] ERROR:too long msg,BytesReadLen:%zd,BytesRemainingLen:%zd", read_len,
              remaining);
      return Code::kBadReply;
    }
    if (first) {
      const Status refused = check_total(total, capacity);
      if (!refused.ok()) return refused;
      first = false;
    }
    const Status broken = check_progress(offset, total, read_len, remaining);
    if (!broken.ok()) return broken;
    // A reply must carry the bytes it counts; anything else would copy the
    // previous reply's leftovers as table data.
    if (count < kDiagReplyDataOffset + read_len) {
      LOG_NUM(LOG_ERROR, "[tessel] ERROR:short msg,BytesReadLen:%zd,received:%zd", read_len, count);
      return Code::kTransfer;
    }
    // offset + read_len <= total <= capacity: checked above.
    if (read_len > 0) std::memcpy(data + offset, decoded.data() + kDiagReplyDataOffset, read_len);
    offset += read_len;
    if (remaining == 0) return Code::kOk;  // offset == total: check_progress saw to it
  }
}

}  // namespace tessel

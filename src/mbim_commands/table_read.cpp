// table_read.cpp — the table the modem holds, read back in as many DIAG read
// packets as the modem needs (mbim_GetSarValue, diag_transfer.h).
#include "mbim_commands/diag_transfer.h"

#include <array>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_commands/diag_exchange.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/diag_packet.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/result_codes.h"
#include "mbim_format/wire.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

constexpr uint16_t kMaxReadReply = 4096;
constexpr size_t kDecodeBufferSize = 5120;
constexpr int kReadReplyBudget = 11;

}  // namespace

int mbim_GetSarValue(uint8_t* data, size_t capacity, uint16_t* total_length) {
  std::array<uint8_t, kDecodeBufferSize> decoded{};
  uint8_t* const packet = diag_packet_buffer();
  std::memset(packet, 0, kDiagPacketSize);
  std::memcpy(packet, kDiagReadHeader, kDiagHeaderSize);
  put_le16(packet + kDiagReadTagOffset, kDiagReadTag);

  uint32_t offset = 0;
  uint16_t previous = 0;
  int budget = -1;  // set by the first data reply
  int busy = 0;
  for (;;) {
    if (offset + previous > 0xFFFF) {
      LOG_NUM(LOG_ERROR, "[tessel] ERROR:offset overflow,offset:%u,BytesReadLen:%u", offset, previous);
      return kErrReadOverflow;
    }
    offset += previous;
    previous = 0;  // a resend after BUSY must not add it again
    put_le16(packet + kDiagReadOffsetOffset, static_cast<uint16_t>(offset));
    put_le16(packet + kDiagReadFcsOffset, diag_crc16(packet, kDiagReadFcsOffset));

    Answer answer;
    const int err = exchange_with_retries(kDiagReadPacketSize, &busy, &answer);
    if (err != 0) return err;
    if (busy > 0) --busy;

    size_t count = 0;
    if (diag_unframe(answer.info, answer.length, decoded.data(), decoded.size(), &count) != 0) return kErrTransfer;
    // A reply too short for its own counts would show the previous reply's.
    if (count < kDiagReplyDataOffset) {
      LOG_NUM(LOG_ERROR, "[tessel] ERROR:short msg,received:%zd", count);
      return kErrTransfer;
    }
    const uint16_t read_len = get_le16(decoded.data() + kDiagBytesReadOffset);
    const uint16_t remaining = get_le16(decoded.data() + kDiagBytesRemainingOffset);
    if (budget < 0 && total_length != nullptr) *total_length = static_cast<uint16_t>(read_len + remaining);
    LOG_NUM(LOG_NORMAL, "[tessel] BytesReadLen:%zd,BytesRemainingLen:%zd", read_len, remaining);
    if (read_len > kMaxReadReply) {
      LOG_NUM(LOG_NORMAL, "[tessel] ERROR:too long msg,BytesReadLen:%zd,BytesRemainingLen:%zd", read_len,
              remaining);
      return kErrBadReply;
    }
    // A reply must carry the bytes it counts; anything else would copy the
    // previous reply's leftovers as table data.
    if (count < kDiagReplyDataOffset + read_len) {
      LOG_NUM(LOG_ERROR, "[tessel] ERROR:short msg,BytesReadLen:%zd,received:%zd", read_len, count);
      return kErrTransfer;
    }
    if (offset + read_len > capacity) {
      LOG_NUM(LOG_ERROR, "[tessel] ERROR:buffer too small,offset:%u,BytesReadLen:%u", offset, read_len);
      return kErrReadOverflow;
    }
    if (read_len > 0) std::memcpy(data + offset, decoded.data() + kDiagReplyDataOffset, read_len);
    if (budget < 0) {
      budget = kReadReplyBudget;
    } else if (--budget == 0) {
      LOG_NUM(LOG_NORMAL, "[tessel] ERROR:Max Loop,BytesReadLen:%zd,BytesRemainingLen:%zd", read_len,
              remaining);
      return kErrTooManyReplies;
    }
    if (remaining == 0) return 0;
    previous = read_len;
  }
}

}  // namespace tessel

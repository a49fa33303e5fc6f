// diag_transfer.cpp — see diag_transfer.h.
#include "mbim_commands/diag_transfer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_commands/sar_commands.h"
#include "mbim_commands/table_reader.h"
#include "mbim_format/build_command.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/diag_packet.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/protocol_log.h"
#include "mbim_format/result_codes.h"
#include "mbim_format/status.h"
#include "mbim_format/uuid.h"
#include "mbim_format/wire.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

// The raw packet of the request being sent; framed straight into each request.
std::array<uint8_t, kDiagPacketSize> diag_packet{};

constexpr uint16_t kMaxReadReply = 4096;
constexpr size_t kDecodeBufferSize = 5120;
constexpr int kReadReplyBudget = 11;

// Frames diag_packet[0, raw_length) into a fresh CID 25 request.
MessagePtr framed_request(size_t raw_length) {
  MessagePtr request =
      build_command(kUuidQmbe, kCidDiagPacket, kCommandSet, nullptr, static_cast<uint32_t>(kMaxFrameSize));
  if (request) {
    const size_t n = diag_frame(diag_packet.data(), raw_length, info_buffer(request));
    set_info_length(request.get(), static_cast<uint32_t>(n));
  }
  return request;
}

bool is_busy(const MessagePtr& response) {
  if (!response) return false;
  const uint8_t* m = response.get();
  const uint32_t held = response_size(m);
  uint32_t type = 0, status = 0;
  return read_le32(m, held, kMessageTypeOffset, &type) && type == MBIM_COMMAND_DONE &&
         read_le32(m, held, kCommandDoneStatusOffset, &status) && status == kStatusBusy;
}

// One request, sent again while the modem answers BUSY. Returns 0 with the
// answer, -1 when the BUSY answers outrun the retries, or the failure of
// finish_command.
int exchange_with_retries(size_t raw_length, int* busy, Answer* answer) {
  for (;;) {
    MessagePtr request = framed_request(raw_length);
    MessagePtr response;
    const int err = exchange(request.get(), kDefaultTimeoutSeconds, &response);
    if (err == 0 && is_busy(response)) {
      ++*busy;
      LOG_MSG(LOG_NORMAL, "[tessel] mbim status busy,now delay 200mS resend");
      request.reset();
      response.reset();
      usleep(kBusyDelayMicroseconds);
      if (*busy > kMaxBusyRetries) {
        LOG_MSG(LOG_ERROR, "[tessel] (busy 3 timers retry fail)");
        return kErrTransfer;
      }
      continue;
    }
    return finish_command(err, std::move(response), answer);
  }
}

// A write reply checked in full: its FCS, then its signature.
int verify_write_reply(const Answer& answer) {
  if (diag_unframe(answer.info, answer.length, nullptr, 0, nullptr) != 0) return kErrBadReply;
  const uint32_t n = answer.length;
  if (n > sizeof kDiagWriteReplySignature &&
      std::memcmp(answer.info, kDiagWriteReplySignature, sizeof kDiagWriteReplySignature) == 0)
    return 0;
  // Bytes the reply does not have print as 0; the records after the first
  // appear only when the reply reaches their bytes.
  auto byte = [&](uint32_t i) -> uint32_t { return i < n ? answer.info[i] : 0; };
  LOG_NUM(LOG_NORMAL, "[tessel] Error ,msg_len:%d \ndata[0]:%x,data[1]:%x,data[2]:%x,data[3]:%x,data[4]:%x,",
          answer.declared, byte(0), byte(1), byte(2), byte(3), byte(4));
  if (n > 5)
    LOG_NUM(LOG_NORMAL, "[tessel] data[5]:%x,data[6]:%x,data[7]:%x,data[8]:%x,data[9]:%x,", byte(5),
            byte(6), byte(7), byte(8), byte(9));
  if (n > 10)
    LOG_NUM(LOG_NORMAL, "[tessel] data[10]:%x,data[11]:%x,data[12]:%x,data[13]:%x", byte(10), byte(11),
            byte(12), byte(13));
  return kErrBadReply;
}

}  // namespace

int mbim_SetSarValue(const char* path, int item) {
  // A table that cannot be read whole must fail the update: reporting
  // success here would let it go on to apply a table never written.
  auto cannot_read = [path]() {
    LOG_TXT(LOG_ERROR, "[tessel] cannot read %s: %s", path != nullptr ? path : "(null)",
            std::strerror(errno));
    return kErrTransfer;
  };
  // Each chunk is taken from the file (table_reader.h) into the packet just
  // before it is sent, so the table is never held whole. The first one is
  // taken before anything is logged or sent: a file that cannot be read at
  // all is refused before the transfer starts.
  TableReader file;
  if (file.open(path) != 0) return cannot_read();
  const size_t size = file.size();
  auto chunk_length = [size](size_t offset) {
    return size - offset < kDiagChunkSize ? size - offset : kDiagChunkSize;
  };
  if (size > 0 && file.read_next(diag_packet.data() + kDiagChunkOffset, chunk_length(0)) != 0) {
    return cannot_read();
  }

  std::memcpy(diag_packet.data(), kDiagWriteHeader, kDiagHeaderSize);
  put_le16(diag_packet.data() + kDiagReservedOffset, 0);
  put_le16(diag_packet.data() + kDiagItemOffset, static_cast<uint16_t>(item));
  LOG_NUM(LOG_NORMAL, "[tessel] (size=%zd)", size);

  int busy = 0;
  for (size_t offset = 0; offset < size; offset += kDiagChunkSize) {
    const size_t n = chunk_length(offset);
    if (offset > 0 && file.read_next(diag_packet.data() + kDiagChunkOffset, n) != 0) return cannot_read();
    // A file that grew after it was opened is refused before its last chunk
    // goes out, like one that shrank.
    if (offset + n == size && file.check_end() != 0) return cannot_read();
    put_le16(diag_packet.data() + kDiagChunkLengthOffset, static_cast<uint16_t>(n));
    diag_packet[kDiagChunkFlagOffset] = offset == 0 ? kDiagFirstChunk : kDiagLaterChunk;
    put_le16(diag_packet.data() + kDiagChunkOffset + n,
             diag_crc16(diag_packet.data(), kDiagChunkOffset + n));

    Answer answer;
    const int err = exchange_with_retries(kDiagChunkOffset + n + kDiagFcsSize, &busy, &answer);
    if (err != 0) return err;
    if (busy > 0) {
      --busy;
      const int check = verify_write_reply(answer);
      if (check != 0) return check;
    }
  }
  return 0;
}

int mbim_GetSarValue(uint8_t* data, size_t capacity, uint16_t* total_length) {
  std::array<uint8_t, kDecodeBufferSize> decoded{};
  diag_packet.fill(0);
  std::memcpy(diag_packet.data(), kDiagReadHeader, kDiagHeaderSize);
  put_le16(diag_packet.data() + kDiagReadTagOffset, kDiagReadTag);

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
    put_le16(diag_packet.data() + kDiagReadOffsetOffset, static_cast<uint16_t>(offset));
    put_le16(diag_packet.data() + kDiagReadFcsOffset, diag_crc16(diag_packet.data(), kDiagReadFcsOffset));

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

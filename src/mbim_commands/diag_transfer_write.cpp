// diag_transfer_write.cpp — a table file into the modem, one DIAG write packet per
// chunk of at most 1024 bytes (mbim_SetSarValue, diag_transfer.h): each
// chunk is read, hashed, built into its packet (diag_request.h) and sent
// (diag_exchange.h).
#include "mbim_commands/diag_transfer.h"

#include <array>
#include <cerrno>
#include <cstring>

#include "diag_log/diag_log.h"
#include "mbim_commands/command.h"
#include "mbim_commands/diag_exchange.h"
#include "mbim_commands/stop_request.h"
#include "mbim_commands/table_file.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/diag_packet.h"
#include "mbim_format/diag_request.h"
#include "mbim_format/protocol_log.h"
#include "md5/md5.h"

TESSEL_LOG_MODULE(::tessel::kProtocolLogFile);

namespace tessel {
namespace {

TableProgress g_progress = nullptr;
void* g_progress_context = nullptr;

// Tells the receiver, if any, how far the write got; the last word, "ended",
// is said on every way out of the write once it has begun.
class ProgressReport {
 public:
  explicit ProgressReport(size_t total) : total_(total) { tell(false); }
  ~ProgressReport() { tell(true); }
  ProgressReport(const ProgressReport&) = delete;
  ProgressReport& operator=(const ProgressReport&) = delete;

  void taken(size_t bytes) {
    sent_ += bytes;
    tell(false);
  }

 private:
  void tell(bool ended) const {
    if (g_progress != nullptr) g_progress(g_progress_context, sent_, total_, ended);
  }

  size_t sent_ = 0;
  size_t total_;
};

// A write reply checked in full: its FCS, then its signature.
Status verify_write_reply(const Answer& answer) {
  if (diag_unframe(answer.info, answer.length, nullptr, 0, nullptr) != 0) return Code::kBadReply;
  const uint32_t n = answer.length;
  if (n > sizeof kDiagWriteReplySignature &&
      std::memcmp(answer.info, kDiagWriteReplySignature, sizeof kDiagWriteReplySignature) == 0)
    return Code::kOk;
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
  return Code::kBadReply;
}

// Whether the bytes hashed into `sent` give `expected` (always, when no
// digest is expected); ends the hash either way.
bool digest_matches(Md5Context* sent, const uint8_t* expected) {
  uint8_t digest[kMd5DigestSize];
  md5_final(sent, digest);
  return expected == nullptr || std::memcmp(digest, expected, kMd5DigestSize) == 0;
}

}  // namespace

void set_table_progress(TableProgress report, void* context) {
  g_progress = report;
  g_progress_context = context;
}

Status mbim_SetSarValue(const char* path, int item, const uint8_t* expected_md5) {
  // A table that cannot be read whole must fail the update: reporting
  // success here would let it go on to apply a table never written.
  auto cannot_read = [path]() {
    const int e = errno;
    LOG_TXT(LOG_ERROR, "[tessel] cannot read %s: %s", path != nullptr ? path : "(null)",
            std::strerror(e));
    return Status::system(Code::kFileUnreadable, e);
  };
  // Each chunk is taken from the file (table_file.h) just before its packet
  // is built and sent, so the table is never held whole. The first one is
  // taken before anything is logged or sent: a file that cannot be read at
  // all is refused before the transfer starts.
  std::array<uint8_t, kDiagChunkSize> chunk;
  DiagPacket packet;
  TableFile file;
  if (file.open(path) != 0) return cannot_read();
  const size_t size = file.size();
  auto chunk_length = [size](size_t offset) {
    return size - offset < kDiagChunkSize ? size - offset : kDiagChunkSize;
  };
  if (size > 0 && file.read_next(chunk.data(), chunk_length(0)) != 0) return cannot_read();
  LOG_NUM(LOG_NORMAL, "[tessel] (size=%zd)", size);

  Md5Context sent;
  md5_init(&sent);
  int busy = 0;
  ProgressReport progress(size);
  for (size_t offset = 0; offset < size; offset += kDiagChunkSize) {
    const size_t n = chunk_length(offset);
    if (offset > 0) {
      if (const int stop = stop_requested()) {
        LOG_NUM(LOG_ERROR, "[tessel] table write stopped by signal %d after %u of %u bytes", stop,
                static_cast<uint32_t>(offset), static_cast<uint32_t>(size));
        return Code::kStopped;
      }
      if (file.read_next(chunk.data(), n) != 0) return cannot_read();
    }
    md5_update(&sent, chunk.data(), n);
    if (offset + n == size) {
      // The last chunk is held back until the file is known to have ended
      // where it began (one that grew after it was opened is refused like
      // one that shrank) and its bytes hash to the digest taken before.
      if (file.check_end() != 0) return cannot_read();
      if (!digest_matches(&sent, expected_md5)) {
        LOG_TXT(LOG_ERROR, "[tessel] %s changed while it was sent: its bytes no longer hash to the digest taken before; last chunk not sent",
                path);
        return Code::kTableChanged;
      }
    }
    if (!build_write_packet(&packet, item, offset == 0, chunk.data(), n)) return Code::kTransfer;

    Answer answer;
    const Status sent = exchange_with_retries(&packet, &busy, &answer);
    if (!sent.ok()) return sent;
    if (busy > 0) {
      --busy;
      const Status check = verify_write_reply(answer);
      if (!check.ok()) return check;
    }
    progress.taken(n);
  }
  return Code::kOk;
}

}  // namespace tessel

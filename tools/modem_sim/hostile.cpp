// hostile.cpp — sends a --hostile burst: its transfers one after another,
// each after a quiet gap, in the write sizes the burst chose.
#include "modem_sim/hostile.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/hostile_pieces.h"
#include "modem_sim/notes.h"
#include "modem_sim/stop_signal.h"

namespace tessel::sim {
namespace {

// About one piece per 6 ms of --hostile time, so transfers keep a few
// milliseconds of quiet between them.
constexpr uint32_t kMsPerPiece = 6;
constexpr uint32_t kMinPieces = 3;
constexpr uint32_t kMaxPieces = 48;
// How long a write may wait for a client that does not read, beyond the burst's own time.
constexpr int64_t kStallMs = 1000;

// O_NONBLOCK on the client for the length of one burst: a client that stops
// reading must not hold the simulator in write() for ever.
class NonBlocking {
 public:
  explicit NonBlocking(int fd) : fd_(fd), flags_(::fcntl(fd, F_GETFL)) {
    if (flags_ >= 0) ::fcntl(fd_, F_SETFL, flags_ | O_NONBLOCK);
  }
  ~NonBlocking() {
    if (flags_ >= 0) ::fcntl(fd_, F_SETFL, flags_);
  }
  NonBlocking(const NonBlocking&) = delete;
  NonBlocking& operator=(const NonBlocking&) = delete;

 private:
  int fd_;
  int flags_;
};

enum class Wrote { kAll, kStalled, kPeerGone, kStopRequested };

// Writes `size` bytes, waiting for room until `give_up` (monotonic ms).
Wrote write_until(int fd, const uint8_t* bytes, size_t size, int64_t give_up) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, bytes + done, size - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
      note("hostile: write to the client failed: %s", std::strerror(errno));
      return Wrote::kPeerGone;
    }
    const int64_t left = give_up - monotonic_ms();
    if (left <= 0) return Wrote::kStalled;
    std::array<pollfd, 2> fds = {pollfd{fd, POLLOUT, 0}, pollfd{stop_fd(), POLLIN, 0}};
    if (::poll(fds.data(), fds.size(), static_cast<int>(left)) > 0 && fds[1].revents != 0) {
      return Wrote::kStopRequested;
    }
  }
  return Wrote::kAll;
}

}  // namespace

HostileEnd send_hostile_burst(int fd, ServerContext* ctx, const std::vector<uint8_t>& request) {
  const uint32_t duration = ctx->options->hostile_ms;
  const uint32_t pieces = std::clamp(duration / kMsPerPiece, kMinPieces, kMaxPieces);
  const HostileBurst burst =
      hostile_burst(request.data(), request.size(), pieces, ctx->byte_stream, &ctx->random);
  uint32_t tid = 0;
  read_le32(request.data(), request.size(), kTransactionIdOffset, &tid);
  const uint32_t gap = duration / static_cast<uint32_t>(burst.transfers.size());
  note(
      "hostile burst for TransactionId %u: %u pieces in %zu transfers over %u ms; "
      "%u carry its TransactionId, %u could pass for its answer",
      tid, burst.pieces, burst.transfers.size(), duration, burst.claiming, burst.answer_like);

  NonBlocking non_blocking(fd);
  // Room for the longer quiet after drops, and for a slow reader.
  const int64_t give_up = monotonic_ms() + 2 * int64_t{duration} +
                          static_cast<int64_t>(burst.transfers.size()) * kHostileDropQuietMs +
                          kStallMs;
  size_t sent = 0;
  bool after_drop = false;
  for (const HostileTransfer& transfer : burst.transfers) {
    if (!sleep_unless_stopped(after_drop ? std::max(gap, kHostileDropQuietMs) : gap)) {
      return HostileEnd::kStopRequested;
    }
    after_drop = transfer.drops;
    ctx->log->tx(transfer.bytes.data(), transfer.bytes.size());
    size_t at = 0;
    Wrote wrote = Wrote::kAll;
    for (size_t size : transfer.writes) {
      wrote = write_until(fd, transfer.bytes.data() + at, size, give_up);
      if (wrote != Wrote::kAll) break;
      at += size;
    }
    if (wrote == Wrote::kPeerGone) return HostileEnd::kPeerGone;
    if (wrote == Wrote::kStopRequested) return HostileEnd::kStopRequested;
    if (wrote == Wrote::kStalled) {
      note("hostile: the client stopped reading; %zu of %zu transfers sent", sent,
           burst.transfers.size());
      return HostileEnd::kSent;
    }
    ++sent;
  }
  if (!sleep_unless_stopped(kHostileSettleMs)) return HostileEnd::kStopRequested;
  return HostileEnd::kSent;
}

}  // namespace tessel::sim

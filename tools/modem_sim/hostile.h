// hostile.h — the --hostile knob: after every message it receives, the
// modem floods the client with random and malformed messages for a while
// (hostile_pieces.h), then answers as usual, or with --hostile-then-silent
// never answers at all.
//
// The burst's transfers are spread over the --hostile time, each after a
// quiet gap, so the client has read one before the next arrives. On a byte
// stream a piece that makes the client drop what it holds gets at least
// kHostileDropQuietMs of quiet after it, so the drop takes nothing else.
// After the last transfer the modem stays quiet for kHostileSettleMs, so
// the answer that follows starts a read of its own. A client that stops reading only cuts
// the burst short. One note per burst says what it held, e.g.
//   hostile burst for TransactionId 7: 25 pieces in 14 transfers over 150 ms;
//   3 carry its TransactionId, 1 could pass for its answer
#ifndef TESSEL_TOOLS_MODEM_SIM_HOSTILE_H_
#define TESSEL_TOOLS_MODEM_SIM_HOSTILE_H_

#include <cstdint>
#include <vector>

#include "modem_sim/connection.h"

namespace tessel::sim {

constexpr uint32_t kHostileSettleMs = 30;
constexpr uint32_t kHostileDropQuietMs = 20;

enum class HostileEnd {
  kSent,           // the burst went out, or the client stopped reading it
  kPeerGone,       // a write failed: the client has left
  kStopRequested,  // SIGTERM/SIGINT during the burst
};

// Sends the burst for `request` (a whole message) on `fd`.
HostileEnd send_hostile_burst(int fd, ServerContext* ctx, const std::vector<uint8_t>& request);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_HOSTILE_H_

// sim_state.h — what the modem remembers for the life of the process, and
// the shape of a service's answer.
//
// State survives clients: a table written by one tool run is what the next
// run's digest query sees, as on a real modem.
#ifndef TESSEL_TOOLS_MODEM_SIM_SIM_STATE_H_
#define TESSEL_TOOLS_MODEM_SIM_SIM_STATE_H_

#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "modem_sim/mbim_messages.h"
#include "modem_sim/options.h"

namespace tessel::sim {

struct SimState {
  explicit SimState(const Options& o) : options(o), function_open(!o.closed) {}

  const Options& options;
  // Stored SAR tables by the item's low 16 bits; a missing item is an empty table.
  std::map<uint16_t, std::vector<uint8_t>> tables;
  // MD5 of each item's table as it stood when it was last applied (CID 23),
  // or preloaded; a missing item was never applied: the MD5 of nothing.
  // What CID 22 reports under --md5-after-apply.
  std::map<uint16_t, std::array<uint8_t, 16>> applied_md5;
  // The first digest CID 22 reported for each item: what it keeps
  // reporting under --md5-frozen.
  std::map<uint16_t, std::array<uint8_t, 16>> first_reported_md5;
  // DIAG write chunks received so far, for every item: --fail-write-chunk.
  uint32_t write_chunks = 0;
  bool diag_over_mbim_on = false;  // QMBE CID 21
  uint32_t requests = 0;           // messages received over the whole run: --mute-at
  // The MBIM function: a real modem's is closed from plug-in until the host
  // sends MBIM_OPEN_MSG, and it refuses every command meanwhile (--closed).
  // Always open without --closed. A re-plug closes it again.
  bool function_open;
  uint32_t sw_radio_state = 1;     // basic connect CID 3
};

// A service's answer: the Status of the MBIM_COMMAND_DONE and its InformationBuffer.
struct Answer {
  uint32_t status = kStatusSuccess;
  std::vector<uint8_t> info;
};

inline Answer failure() { return Answer{kStatusFailure, {}}; }
inline Answer not_supported() { return Answer{kStatusNoDeviceSupport, {}}; }

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_SIM_STATE_H_

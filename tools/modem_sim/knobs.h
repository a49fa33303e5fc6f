// knobs.h — decides, per request, whether the modem misbehaves instead of
// answering: the --busy, --status, --function-error, --no-reply, --late and
// delay knobs of the command line.
//
// BUSY counters live here for the life of the process, so a knob such as
// `--busy 25:3` spans several clients of one simulator.
#ifndef TESSEL_TOOLS_MODEM_SIM_KNOBS_H_
#define TESSEL_TOOLS_MODEM_SIM_KNOBS_H_

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "modem_sim/options.h"

namespace tessel::sim {

enum class KnobAction {
  kAnswer,         // answer as the modem normally would
  kNoReply,        // say nothing
  kStatus,         // MBIM_COMMAND_DONE with Status `value`, empty buffer
  kFunctionError,  // MBIM_FUNCTION_ERROR_MSG with ErrorStatusCode `value`
};

struct KnobVerdict {
  KnobAction action = KnobAction::kAnswer;
  uint32_t value = 0;
};

class Knobs {
 public:
  explicit Knobs(const Options& options);

  // The verdict for one command of `cid`. Precedence: no-reply, busy (which
  // uses up one of its K answers), function-error, status.
  KnobVerdict for_command(uint32_t cid);

  // --late: true (with the Status to answer later) for the first request of
  // `cid` only, whose answer is then held back (hold) until the next
  // request of `cid` is answered (take_held).
  bool answer_late(uint32_t cid, uint32_t* status);
  void hold(uint32_t cid, std::vector<uint8_t> answer);
  std::vector<uint8_t> take_held(uint32_t cid);

  // Milliseconds to wait before replying to `cid`: its --delay, else --delay-ms.
  uint32_t delay_for_command(uint32_t cid) const;

  // Milliseconds to wait before replying to an open or close: --delay-ms.
  uint32_t delay_for_other() const { return delay_ms_; }

 private:
  std::set<uint32_t> no_reply_;
  std::map<uint32_t, uint32_t> busy_left_;
  std::map<uint32_t, uint32_t> function_error_;
  std::map<uint32_t, uint32_t> status_;
  std::map<uint32_t, uint32_t> delay_;
  std::map<uint32_t, uint32_t> late_;  // CIDs whose first answer is still to be held
  std::map<uint32_t, std::vector<uint8_t>> held_;
  uint32_t delay_ms_;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_KNOBS_H_

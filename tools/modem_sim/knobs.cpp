// knobs.cpp — the fault knobs' verdict for each request.
#include "modem_sim/knobs.h"

#include "modem_sim/notes.h"

namespace tessel::sim {

constexpr uint32_t kStatusBusy = 1;

Knobs::Knobs(const Options& options) : delay_ms_(options.delay_ms) {
  // A later knob for the same CID replaces an earlier one.
  for (uint32_t cid : options.no_reply) no_reply_.insert(cid);
  for (const CidValue& k : options.busy) busy_left_[k.cid] = k.value;
  for (const CidValue& k : options.function_error) function_error_[k.cid] = k.value;
  for (const CidValue& k : options.status) status_[k.cid] = k.value;
  for (const CidValue& k : options.delay) delay_[k.cid] = k.value;
  for (const CidValue& k : options.late) late_[k.cid] = k.value;
}

bool Knobs::answer_late(uint32_t cid, uint32_t* status) {
  auto late = late_.find(cid);
  if (late == late_.end()) return false;
  *status = late->second;
  late_.erase(late);
  note("CID %u: holding the answer (Status %u) back until the next request of CID %u (--late)", cid,
       *status, cid);
  return true;
}

void Knobs::hold(uint32_t cid, std::vector<uint8_t> answer) { held_[cid] = std::move(answer); }

std::vector<uint8_t> Knobs::take_held(uint32_t cid) {
  auto held = held_.find(cid);
  if (held == held_.end()) return {};
  std::vector<uint8_t> answer = std::move(held->second);
  held_.erase(held);
  return answer;
}

KnobVerdict Knobs::for_command(uint32_t cid) {
  if (no_reply_.count(cid) != 0) {
    note("CID %u: not answering (--no-reply)", cid);
    return {KnobAction::kNoReply, 0};
  }
  auto busy = busy_left_.find(cid);
  if (busy != busy_left_.end() && busy->second > 0) {
    --busy->second;
    note("CID %u: answering BUSY (--busy, %u more to come)", cid, busy->second);
    return {KnobAction::kStatus, kStatusBusy};
  }
  auto error = function_error_.find(cid);
  if (error != function_error_.end()) {
    note("CID %u: answering MBIM_FUNCTION_ERROR_MSG %u (--function-error)", cid, error->second);
    return {KnobAction::kFunctionError, error->second};
  }
  auto status = status_.find(cid);
  if (status != status_.end()) {
    note("CID %u: answering Status %u (--status)", cid, status->second);
    return {KnobAction::kStatus, status->second};
  }
  return {};
}

uint32_t Knobs::delay_for_command(uint32_t cid) const {
  auto delay = delay_.find(cid);
  return delay != delay_.end() ? delay->second : delay_ms_;
}

}  // namespace tessel::sim

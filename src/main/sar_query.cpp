// sar_query.cpp — "sar_tool --query": the digest the modem reports for an
// item, without a table file.
//
// After the channel is open the modem receives the digest query alone, so
// an inventory can ask as often as it likes without touching the modem's
// state. The run is strict by nature: status 0 only with a 16-byte digest
// in the summary line, 3 (step=query) otherwise.
#include "api/service_api.h"
#include "main/outcome.h"
#include "main/sar_steps.h"
#include "main/sub_commands.h"

namespace tessel {
namespace {

void query(const SarJob& job, SarOutcome* o) {
  if (!open_job_session(job, o)) return;
  if (StopSignal() != 0) {
    o->fail(Status(Code::kStopped).at(Step::kInterrupted));
    return;
  }
  if (query_modem_digest(job.item, o)) o->result = SarResult::kQueried;
}

}  // namespace

SarOutcome sar_query(const SarJob& job) {
  SarOutcome o(Job::kQuery, job.item);
  query(job, &o);
  UnInit();
  return o;
}

}  // namespace tessel

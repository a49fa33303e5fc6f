// at_send.cpp — debug_tool's job: the session, one AT command through the
// tunnel (which prints "Send > ..." and "Recv < ..."), its final result.
#include "api/service_api.h"
#include "main/at_result.h"
#include "main/outcome.h"
#include "main/session.h"
#include "main/sub_commands.h"

namespace tessel {

AtOutcome at_send(const AtJob& job) {
  AtOutcome o;
  const Status opened = open_session(job.device, job.lock_wait_s, job.debug);
  if (!opened.ok()) {
    o.status = opened;
  } else if (StopSignal() != 0) {
    o.status = Status(Code::kStopped).at(Step::kInterrupted);
  } else {
    const char* reply = nullptr;
    const Status sent = api::SendAtCommand(job.command, &reply);
    if (!sent.ok()) {
      o.status = sent.at(Step::kAnswer);
    } else {
      classify_at_reply(reply, &o);
    }
  }
  UnInit();
  return o;
}

}  // namespace tessel

// sar_query.cpp — "sar_tool --query": the digest the modem reports for an
// item, without a table file.
//
// After the channel is open the modem receives the digest query alone, so
// an inventory can ask as often as it likes without touching the modem's
// state. The run is strict by nature: status 0 only with a 16-byte digest
// in the summary line, 3 (step=query) otherwise.
#include <array>

#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "main/outcome.h"
#include "main/session.h"
#include "main/sub_commands.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {
namespace {

void query(const SarJob& job, SarOutcome* o) {
  SessionFailure opened;
  if (!open_session(job.device, job.lock_wait_s, &opened)) {
    o->fail(opened.step, opened.status);
    return;
  }
  if (StopSignal() != 0) {
    o->fail("interrupted", kExitNoDigest);
    return;
  }
  bool read = false;
  const int r = GetSarMd5(job.item, o->modem_md5.data(), &read);
  if (r != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] GetSarMd5 err=%d", r);
    o->fail("query", kExitNoDigest);
    return;
  }
  if (!read) {
    LOG_MSG(LOG_ERROR, "[tessel] the modem's answer carried no 16-byte digest");
    o->fail("query", kExitNoDigest);
    return;
  }
  o->have_modem_md5 = true;
  std::array<char, 33> text;
  LOG_TXT(LOG_NORMAL, "[tessel] --- md5: %s", digest_text(o->modem_md5, &text));
  o->result = "queried";
}

}  // namespace

SarOutcome sar_query(const SarJob& job) {
  SarOutcome o;
  o.item = job.item;
  query(job, &o);
  UnInit();
  return o;
}

}  // namespace tessel

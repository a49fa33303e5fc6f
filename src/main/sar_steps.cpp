// sar_steps.cpp — see sar_steps.h.
#include "main/sar_steps.h"

#include <array>

#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "main/session.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {

bool open_job_session(const SarJob& job, SarOutcome* o) {
  const Status s = open_session(job.device, job.lock_wait_s, job.debug);
  if (s.ok()) return true;
  o->fail(s);
  return false;
}

bool query_modem_digest(int32_t item, SarOutcome* o) {
  bool read = false;
  const Status s = api::GetSarMd5(item, o->modem_md5.data(), &read);
  if (!s.ok()) {
    LOG_NUM(LOG_ERROR, "[tessel] GetSarMd5 err=%d", folded_result(s));
    o->fail(s.at(Step::kQuery));
    return false;
  }
  if (!read) {
    LOG_MSG(LOG_ERROR, "[tessel] the modem's answer carried no 16-byte digest");
    o->fail(Status(Code::kNoDigest).at(Step::kQuery));
    return false;
  }
  o->have_modem_md5 = true;
  std::array<char, 33> text;
  LOG_TXT(LOG_NORMAL, "[tessel] --- md5: %s", digest_text(o->modem_md5, &text));
  return true;
}

}  // namespace tessel

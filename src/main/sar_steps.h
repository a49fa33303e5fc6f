// sar_steps.h — the steps sar_tool's jobs share: opening the session for a
// job, and asking the modem for a digest it must report.
#ifndef TESSEL_MAIN_SAR_STEPS_H_
#define TESSEL_MAIN_SAR_STEPS_H_

#include <cstdint>

#include "main/outcome.h"
#include "main/sub_commands.h"

namespace tessel {

// open_session with the job's device, lock wait and --debug; on failure
// `*o` is marked failed with the session's Status, and false.
bool open_job_session(const SarJob& job, SarOutcome* o);

// The digest the modem reports for `item`, into o->modem_md5 and logged as
// "---". False, after its record and with `*o` failed at Step::kQuery, when
// the query fails or the answer carries no 16-byte digest (kNoDigest):
// --query and --save have nothing to go on without one.
bool query_modem_digest(int32_t item, SarOutcome* o);

}  // namespace tessel

#endif  // TESSEL_MAIN_SAR_STEPS_H_

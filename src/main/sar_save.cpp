// sar_save.cpp — "sar_tool --save FILE": the table the modem holds, read
// out into a verified backup.
//
// The read packet names no item: the modem sends the table it holds. The
// bytes are checked against the digest the modem reports for -n's item,
// and FILE is written only when they match, whole or not at all
// (save_file.h); a failed read still switches DIAG-over-MBIM off again.
// A FILE whose directory is missing or cannot be written is refused before
// the channel opens. A backup is restored with "sar_tool -f FILE".
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "diag_log/operator_line.h"
#include "main/outcome.h"
#include "main/save_file.h"
#include "main/sar_steps.h"
#include "main/sub_commands.h"
#include "md5/md5.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {
namespace {

// The largest table the read can carry: its length travels in 16 bits.
std::array<uint8_t, 65535> g_table;

// The FILE that cannot be written, with errno `error`.
void save_failed(const char* path, int error, SarOutcome* o) {
  LOG_TXT(LOG_ERROR, "[tessel] cannot save %s: %s", path, std::strerror(error));
  operator_line(LinePriority::kError, "sar_tool: cannot write %s: %s\n", path,
                std::strerror(error));
  o->fail(Status::system(Code::kFileUnwritable, error).at(Step::kSave));
}

constexpr Status kInterrupted = Status(Code::kStopped).at(Step::kInterrupted);

void save(const SarJob& job, SarOutcome* o) {
  if (!open_job_session(job, o)) return;
  if (StopSignal() != 0) {
    o->fail(kInterrupted);
    return;
  }
  Status s = api::SetSarEnable(1);
  if (!s.ok()) {
    LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", folded_result(s));
    o->fail(s.at(Step::kEnable));
    return;
  }
  uint16_t length = 0;
  if (StopSignal() != 0) {
    o->fail(kInterrupted);
  } else {
    s = api::GetSarValue(g_table.data(), g_table.size(), &length);
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] GetSarValue err=%d", folded_result(s));
      o->fail(s.at(StopSignal() != 0 ? Step::kInterrupted : Step::kRead));
    } else if (length == 0) {
      LOG_MSG(LOG_ERROR, "[tessel] the modem holds no table to save");
      o->fail(Status(Code::kEmptyTable).at(Step::kRead));
    }
  }
  // Off again whatever the read did.
  s = api::SetSarEnable(0);
  if (!s.ok()) {
    LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", folded_result(s));
    if (!o->failed()) o->fail(s.at(Step::kDisable));
  }
  if (o->failed()) return;
  if (StopSignal() != 0) {
    o->fail(kInterrupted);
    return;
  }

  o->size = length;
  md5_digest(g_table.data(), length, o->file_md5.data());
  o->have_file_md5 = true;
  std::array<char, 33> text;
  LOG_TXT(LOG_NORMAL, "[tessel] read md5: %s", digest_text(o->file_md5, &text));
  if (!query_modem_digest(job.item, o)) return;
  if (o->modem_md5 != o->file_md5) {
    LOG_MSG(LOG_ERROR, "[tessel] the table read does not match the modem's digest; not saved");
    o->fail(Status(Code::kDigestMismatch).at(Step::kVerify));
    return;
  }
  if (save_file(job.save, g_table.data(), length) != 0) {
    save_failed(job.save, errno, o);
    return;
  }
  LOG_TXT(LOG_NORMAL, "[tessel] saved the table to %s", job.save);
  o->result = SarResult::kSaved;
}

}  // namespace

SarOutcome sar_save(const SarJob& job) {
  SarOutcome o(Job::kSave, job.item);
  // A FILE that cannot be written is refused before the channel opens, as
  // an unreadable table file is: nothing opened, so no UnInit either.
  if (save_file_check(job.save) != 0) {
    save_failed(job.save, errno, &o);
    return o;
  }
  save(job, &o);
  UnInit();
  return o;
}

}  // namespace tessel

// sar_update.cpp — bringing the modem's SAR table in line with a file.
//
// Only when the digest the modem reports differs from the file's, or the
// update is forced, is the modem's state touched: DIAG-over-MBIM on, the
// table written, DIAG-over-MBIM off, the digest read back (logged), the
// table applied. Any failing step ends the update with its record; a failed
// write still switches DIAG-over-MBIM off, so the modem is not left in its
// transfer mode. Every path ends with UnInit.
//
// From before DIAG-over-MBIM is switched on until the apply succeeds, the
// device's state record notes the table as written but not applied: the
// modem's digest names the stored table, not the applied one, so a later
// run that finds the modem reporting this table's digest for this item
// applies it instead of calling it up to date. Once the modem has taken the
// last chunk, a stop signal waits for the switch-off, the read-back and the
// apply (each bounded by its own timeout): a stop must not fall between a
// whole write and its apply.
//
// With --strict the outcome is verified: the modem must report the file's
// digest, in the read-back or, since some modems change it only when the
// table is applied, in one more query after the apply. --check stops after
// the comparison and sends nothing that changes the modem.
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "api/service_api.h"
#include "api/state_directory.h"
#include "diag_log/diag_log.h"
#include "diag_log/operator_line.h"
#include "main/outcome.h"
#include "main/sar_steps.h"
#include "main/sub_commands.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {
namespace {

class Update {
 public:
  Update(const SarJob& job, SarOutcome* o) : job_(job), o_(*o) {}

  void run() {
    if (!open_job_session(job_, &o_)) return;
    if (stopped() || !compare() || stopped()) return;
    if (job_.check) {
      conclude_check();
      return;
    }
    if (o_.have_modem_md5 && stored_ == file_ && job_.force == 0) {
      bool diag_may_be_on = false;
      if (PendingApply(job_.item, file_.data(), &diag_may_be_on)) {
        apply_pending(diag_may_be_on);
        return;
      }
      LOG_MSG(LOG_ERROR, "[tessel] no need to update\n");
      o_.result = SarResult::kUpToDate;
      return;
    }
    write_and_apply();
  }

 private:
  // The modem's digest and the file's, logged as "---" and "+++".
  bool compare() {
    bool read = false;
    Status s = api::GetSarMd5(job_.item, stored_.data(), &read);
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] GetSarMd5 err=%d", folded_result(s));
      o_.fail(s.at(Step::kQuery));
      return false;
    }
    LOG_TXT(LOG_NORMAL, "[tessel] --- md5: %s", digest_text(stored_, &text_));
    note_modem_digest(read);
    s = api::GetFileMd5(job_.table, file_.data());
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] GetFileMd5 err=%d", folded_result(s));
      o_.fail(s.at(Step::kFile));
      return false;
    }
    LOG_TXT(LOG_NORMAL, "[tessel] +++ md5: %s", digest_text(file_, &text_));
    o_.have_file_md5 = true;
    o_.file_md5 = file_;
    o_.size = job_.table_size;
    return true;
  }

  void conclude_check() {
    if (!o_.have_modem_md5) {
      LOG_MSG(LOG_ERROR, "[tessel] the modem's answer carried no 16-byte digest");
      o_.fail(Status(Code::kNoDigest).at(Step::kQuery));
    } else if (stored_ == file_) {
      // The modem holds the table, which is what --check answers; whether
      // it is in force only an update can settle.
      if (PendingApply(job_.item, file_.data(), nullptr)) {
        LOG_MSG(LOG_ERROR, "[tessel] the modem holds this table, but no run has seen it applied");
      }
      o_.result = SarResult::kUpToDate;
    } else {
      o_.result = SarResult::kDiffers;
    }
  }

  // The table an earlier run wrote and did not see applied: its apply, after
  // switching DIAG-over-MBIM off when that run may have left it on.
  void apply_pending(bool diag_may_be_on) {
    LOG_MSG(LOG_ERROR, "[tessel] the modem holds this table, but the run that wrote it did not see it applied; applying it now");
    if (diag_may_be_on) {
      const Status s = api::SetSarEnable(0);
      if (!s.ok()) {
        LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", folded_result(s));
        o_.fail(s.at(Step::kDisable));
        return;
      }
    }
    apply(diag_may_be_on);
  }

  // The note "written, not applied" must be on disk before the modem's
  // table changes: a run killed after that point would otherwise leave a
  // stored table that every later run calls up to date and none applies.
  // A note only a reboot can lose is taken in the default mode, with a
  // warning; under --strict, as when no note can be kept at all, the modem
  // is left untouched.
  bool note_before_write() {
    const Status kept = NoteTableWritten(job_.item, file_.data(), /*diag_may_be_on=*/true);
    if (kept.ok()) return true;
    const char* path = StateRecordPath();
    if (*path == '\0') path = kStateDirectory;
    const bool volatile_note = kept.code == Code::kStateVolatile;
    if (volatile_note && !job_.strict) {
      LOG_TXT(LOG_ERROR, "[tessel] the note of this update is kept in %s, which a reboot empties: make %s persistent (see tessel(1))",
              path, kStateDirectory);
      return true;
    }
    const int e = kept.sys_errno;
    const char* why = volatile_note ? "a reboot would lose it" : std::strerror(e != 0 ? e : EIO);
    LOG_TXT(LOG_ERROR, "[tessel] cannot keep the note of this update in %s (%s); nothing written to the modem",
            path, why);
    operator_line(LinePriority::kError,
                  "tessel: cannot keep the note of this update in %s (%s): nothing was written to the modem; "
                  "%s must be a writable directory on a persistent file system (see tessel(1))\n",
                  path, why, kStateDirectory);
    o_.fail(kept.at(Step::kState));
    return false;
  }

  void write_and_apply() {
    if (!note_before_write()) return;
    Status s = api::SetSarEnable(1);
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", folded_result(s));
      o_.fail(s.at(Step::kEnable));
      return;
    }
    diag_on_ = true;
    if (stopped()) return;
    s = api::SetSarValue(job_.table, job_.item, file_.data());
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] SetSarValue err=%d", folded_result(s));
      if (!stopped()) o_.fail(s.at(Step::kWrite));
      switch_off();
      return;
    }
    s = api::SetSarEnable(0);
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", folded_result(s));
      o_.fail(s.at(Step::kDisable));
      return;
    }
    diag_on_ = false;
    // From here on a stop signal waits for the apply (see the top).
    bool read = false;
    s = api::GetSarMd5(job_.item, stored_.data(), &read);
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] GetSarMd5 after update err=%d", folded_result(s));
      o_.fail(s.at(Step::kReadback));
      return;
    }
    if (read) {
      LOG_TXT(LOG_NORMAL, "[tessel] md5: %s\n", digest_text(stored_, &text_));
      // The modem acknowledged every chunk; a digest other than the file's
      // means it did not store what it acknowledged.
      if (stored_ != file_) {
        LOG_MSG(LOG_ERROR, "[tessel] the digest read back differs from the file's: the modem did not store the table as sent");
      }
    } else {
      // Printing the earlier digest again would pass it off as read back.
      LOG_MSG(LOG_ERROR, "[tessel] GetSarMd5 after update: the answer carried no 16-byte digest");
    }
    note_modem_digest(read);
    apply(/*diag_switched_off=*/true);
  }

  // The apply, and the record forgetting the table once it is in force.
  // When DIAG-over-MBIM was just switched off and the apply fails, the
  // record says so: the run that retries need not switch it off again.
  void apply(bool diag_switched_off) {
    bool answered = true;
    const Status s = api::ApplySarValue(job_.item, &answered);
    if (!s.ok()) {
      LOG_NUM(LOG_ERROR, "[tessel] ApplySarValue err=%d", folded_result(s));
      o_.fail(s.at(Step::kApply));
      o_.apply = "failed";
      if (diag_switched_off) NoteTableWritten(job_.item, file_.data(), /*diag_may_be_on=*/false);
      return;
    }
    if (answered) {
      NoteApplied(job_.item);
      o_.apply = "confirmed";
    } else {
      // A modem that resets while it applies never answers, and neither
      // does one that ignored the apply: the note stays, and the next run
      // sends the apply again.
      o_.apply = "unanswered";
      if (NoteApplyUnanswered(job_.item)) {
        LOG_MSG(LOG_NORMAL, "[tessel] the modem did not answer the apply; the next run sends it again");
      }
    }
    o_.result = SarResult::kUpdated;
    if (job_.strict && !verified()) o_.fail(Status(Code::kDigestMismatch).at(Step::kVerify));
  }

  // True when the modem reports the file's digest, asking once more after
  // the apply when the read-back still showed another one.
  bool verified() {
    if (o_.have_modem_md5 && stored_ == file_) return true;
    bool read = false;
    if (api::GetSarMd5(job_.item, stored_.data(), &read).ok() && read) {
      LOG_TXT(LOG_NORMAL, "[tessel] md5 after apply: %s", digest_text(stored_, &text_));
      note_modem_digest(read);
      if (stored_ == file_) return true;
    }
    LOG_MSG(LOG_ERROR, "[tessel] the modem does not report the file's digest after the update");
    return false;
  }

  void note_modem_digest(bool read) {
    o_.have_modem_md5 = read;
    if (read) o_.modem_md5 = stored_;
  }

  // Once a stop signal was noted: the remaining steps are skipped, apart
  // from switching DIAG-over-MBIM off when it was switched on.
  bool stopped() {
    const int signal = StopSignal();
    if (signal == 0) return false;
    if (!o_.failed()) {
      LOG_NUM(LOG_ERROR, "[tessel] stopped by signal %d; skipping the remaining steps", signal);
      o_.fail(Status(Code::kStopped).at(Step::kInterrupted));
    }
    switch_off();
    return true;
  }

  void switch_off() {
    if (!diag_on_) return;
    diag_on_ = false;
    const Status s = api::SetSarEnable(0);
    if (!s.ok()) LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", folded_result(s));
  }

  const SarJob& job_;
  SarOutcome& o_;
  Digest stored_{};
  Digest file_{};
  std::array<char, 33> text_{};
  bool diag_on_ = false;
};

}  // namespace

SarOutcome sar_update(const SarJob& job) {
  SarOutcome o(Job::kUpdate, job.item);
  Update(job, &o).run();
  UnInit();
  return o;
}

}  // namespace tessel

// outcome.h — what a run did, as an exit status and one summary line, for
// callers that opted in with --strict (and always for --check, --save and
// --query).
//
// Without --strict the tool keeps the statuses scripts on devices rely on:
// sar_tool 0 once its checks pass, whatever the update's outcome; debug_tool
// 0. With it, each failure has a status of its own and stdout ends with one
// line of key=value fields, every field always present ('-' where unknown),
// values without blanks:
//   sar_tool:   result=R item=N size=S file_md5=F modem_md5=M step=P apply=A
//               (A: what became of the apply: confirmed, unanswered — the
//               modem let its deadline pass, as one that resets while it
//               applies does, and the next run sends it again — failed,
//               or '-' when none was sent)
//   debug_tool: result=R final=K code=C step=P
// With --json the same fields, in the same order, as one JSON object on one
// line: {"result":"updated","item":48001,"size":3000,...,"step":null}, the
// numbers bare, '-' as null. Both are written from one list of fields per
// outcome (outcome.cpp), so a field added there appears in both.
// The statuses and fields are a contract with scripts: add, never renumber.
//
// A failed run carries the Status of its failure (mbim_format/status.h),
// with the step the flow gave it; which exit status that step gives
// depends on the job (exit_status), and the summary names it (step_name).
#ifndef TESSEL_MAIN_OUTCOME_H_
#define TESSEL_MAIN_OUTCOME_H_

#include <array>
#include <cstdint>
#include <cstdio>

#include "mbim_format/status.h"

namespace tessel {

// Exit statuses under --strict.
constexpr int kExitOk = 0;
constexpr int kExitNoAccess = 1;        // sar_tool: device not readable and writable
constexpr int kExitNoChannel = 2;       // the channel could not be opened
constexpr int kExitNoDigest = 3;        // the modem's digest could not be read (also --query)
constexpr int kExitWriteFailed = 4;     // DIAG switch or table write failed; nothing applied
constexpr int kExitApplyFailed = 5;     // the table was written, the apply failed
constexpr int kExitNotVerified = 6;     // applied, the modem does not report the file's digest
constexpr int kExitDiffers = 7;         // --check: the digests differ
constexpr int kExitBusy = 8;            // another tessel run held the device too long
constexpr int kExitReadFailed = 9;      // --save: read failed or does not match the digest
constexpr int kExitSaveFailed = 10;     // --save: FILE could not be written
constexpr int kExitNoAnswer = 11;       // debug_tool: timeout, hang-up or refused command
constexpr int kExitAtError = 12;        // debug_tool: ERROR, +CME/+CMS ERROR or no final result
constexpr int kExitOutputLost = 13;     // the result could not be written to standard output
constexpr int kExitBadInput = -1;       // usage or bad input: 255

using Digest = std::array<uint8_t, 16>;

// The jobs a run does: each gives a failed step its own exit status. The
// update's (and --check's), --save's, --query's and debug_tool's.
enum class Job : uint8_t { kUpdate, kSave, kQuery, kAt };

// What a SAR job achieved; kFailed until it says.
enum class SarResult : uint8_t { kFailed, kUpdated, kUpToDate, kDiffers, kSaved, kQueried };

struct SarOutcome {
  explicit SarOutcome(Job j, int32_t i = 0) : job(j), item(i) {}

  Job job;
  SarResult result = SarResult::kFailed;
  Status status;                  // the failure, with its step; ok: none
  int32_t item = 0;
  int64_t size = -1;              // -1: unknown
  bool have_file_md5 = false;
  Digest file_md5{};
  bool have_modem_md5 = false;
  Digest modem_md5{};
  const char* apply = nullptr;    // confirmed, unanswered, failed; null: no apply sent

  bool failed() const { return !status.ok(); }
  // Marks the run failed with `s` (its step set).
  void fail(const Status& s) { status = s; }
};

// The final result of an AT reply; kFailed until one is read.
enum class AtResult : uint8_t { kFailed, kOk, kError };

struct AtOutcome {
  AtResult result = AtResult::kFailed;
  const char* final = nullptr;    // OK, ERROR, CME_ERROR, CMS_ERROR; null: none
  long code = -1;                 // the +CME / +CMS error number; -1: none
  Status status;                  // the failure, with its step; ok: none
};

// The summary's result and step fields: "failed" and the step of a failure,
// else the result's name ("failed" for kFailed) and null ('-').
const char* result_name(const SarOutcome& o);
const char* result_name(const AtOutcome& o);
const char* step_name(const Status& s);

// The exit status under --strict of a run of `job` that ended with `o`:
// kExitOk; kExitDiffers when --check found the digests differ; kExitAtError
// for an AT reply whose final result is not OK; and for a failure, its
// step's (a stop in debug_tool gives kExitOk, as the signal ends the
// process anyway).
int exit_status(const SarOutcome& o);
int exit_status(const AtOutcome& o);

// The digest as 32 lower-case hexadecimal digits, in its stored order.
const char* digest_text(const Digest& d, std::array<char, 33>* text);

// How the summary is written.
enum class SummaryStyle { kKeyValue, kJson };

// Prints the summary line on `out` (standard output, or under --json the
// stream run_output.h keeps for it).
void print_summary(const SarOutcome& o, SummaryStyle style = SummaryStyle::kKeyValue,
                   std::FILE* out = stdout);
void print_summary(const AtOutcome& o, SummaryStyle style = SummaryStyle::kKeyValue,
                   std::FILE* out = stdout);

// The exit status of a strict run that ended with `status`: `out`, where
// the summary went, is flushed, and when a write to it failed (a full
// device, a pipe nobody reads, a descriptor that was closed) a run that
// otherwise succeeded ends with kExitOutputLost, since its caller never saw
// the result. A failed run keeps its own status, which says more.
int strict_exit_status(int status, std::FILE* out = stdout);

}  // namespace tessel

#endif  // TESSEL_MAIN_OUTCOME_H_

// outcome.cpp — see outcome.h.
#include "main/outcome.h"

#include <cinttypes>
#include <cstdio>
#include <iterator>

#include "main/json_text.h"

namespace tessel {
namespace {

// One field of the summary. `value` is null where the value is unknown
// ('-', JSON null); a number's is its decimal text, written bare in JSON.
struct SummaryField {
  const char* key;
  const char* value;
  bool number;
};

using NumberText = std::array<char, 24>;

const char* number_text(int64_t value, NumberText* text) {
  std::snprintf(text->data(), text->size(), "%" PRId64, value);
  return text->data();
}

void print_fields(const SummaryField* fields, size_t count, SummaryStyle style, std::FILE* out) {
  if (style == SummaryStyle::kKeyValue) {
    for (size_t i = 0; i < count; ++i) {
      std::fprintf(out, "%s%s=%s", i > 0 ? " " : "", fields[i].key,
                   fields[i].value != nullptr ? fields[i].value : "-");
    }
  } else {
    std::fputc('{', out);
    for (size_t i = 0; i < count; ++i) {
      if (i > 0) std::fputc(',', out);
      put_json_string(fields[i].key, out);
      std::fputc(':', out);
      if (fields[i].value == nullptr) {
        std::fputs("null", out);
      } else if (fields[i].number) {
        std::fputs(fields[i].value, out);
      } else {
        put_json_string(fields[i].value, out);
      }
    }
    std::fputc('}', out);
  }
  std::fputc('\n', out);
}

// Each step: its name on the summary line, and the exit status a failure
// there gives in each job. The same step may cost a write, a read or a
// digest, depending on what the job was after. Names are held in place, not
// pointed to, so the table needs no relocation.
struct StepRow {
  char name[12];
  std::array<int8_t, 4> status;  // by Job: update (and --check), --save, --query, debug_tool
};
constexpr StepRow kSteps[] = {
    // A failure no step claims is never a success.
    {"", {kExitBadInput, kExitBadInput, kExitBadInput, kExitBadInput}},
    {"connect", {kExitNoChannel, kExitNoChannel, kExitNoChannel, kExitNoChannel}},
    {"lock", {kExitBusy, kExitBusy, kExitBusy, kExitBusy}},
    {"file", {kExitBadInput, kExitBadInput, kExitBadInput, kExitBadInput}},
    {"query", {kExitNoDigest, kExitNoDigest, kExitNoDigest, kExitNoDigest}},
    {"state", {kExitWriteFailed, kExitReadFailed, kExitWriteFailed, kExitWriteFailed}},
    {"enable", {kExitWriteFailed, kExitReadFailed, kExitWriteFailed, kExitWriteFailed}},
    {"write", {kExitWriteFailed, kExitReadFailed, kExitWriteFailed, kExitWriteFailed}},
    {"disable", {kExitWriteFailed, kExitReadFailed, kExitWriteFailed, kExitWriteFailed}},
    {"readback", {kExitNoDigest, kExitNoDigest, kExitNoDigest, kExitNoDigest}},
    {"apply", {kExitApplyFailed, kExitApplyFailed, kExitApplyFailed, kExitApplyFailed}},
    {"verify", {kExitNotVerified, kExitReadFailed, kExitNotVerified, kExitNotVerified}},
    {"read", {kExitReadFailed, kExitReadFailed, kExitReadFailed, kExitReadFailed}},
    {"save", {kExitSaveFailed, kExitSaveFailed, kExitSaveFailed, kExitSaveFailed}},
    {"answer", {kExitNoAnswer, kExitNoAnswer, kExitNoAnswer, kExitNoAnswer}},
    // debug_tool's stop is only seen on the summary line: the signal then
    // ends the process.
    {"interrupted", {kExitWriteFailed, kExitReadFailed, kExitNoDigest, kExitOk}},
};
static_assert(std::size(kSteps) == static_cast<size_t>(Step::kInterrupted) + 1, "a row per step");

int failure_status(Job job, const Status& s) {
  return kSteps[static_cast<size_t>(s.step)].status[static_cast<size_t>(job)];
}

}  // namespace

const char* step_name(const Status& s) {
  return s.ok() || s.step == Step::kNone ? nullptr : kSteps[static_cast<size_t>(s.step)].name;
}

const char* result_name(const SarOutcome& o) {
  static constexpr char kNames[][11] = {"failed", "updated", "up-to-date",
                                        "differs", "saved", "queried"};
  return o.failed() ? kNames[0] : kNames[static_cast<size_t>(o.result)];
}

const char* result_name(const AtOutcome& o) {
  static constexpr char kNames[][7] = {"failed", "ok", "error"};
  return o.status.ok() ? kNames[static_cast<size_t>(o.result)] : kNames[0];
}

int exit_status(const SarOutcome& o) {
  if (o.failed()) return failure_status(o.job, o.status);
  return o.result == SarResult::kDiffers ? kExitDiffers : kExitOk;
}

int exit_status(const AtOutcome& o) {
  if (!o.status.ok()) return failure_status(Job::kAt, o.status);
  return o.result == AtResult::kError ? kExitAtError : kExitOk;
}

const char* digest_text(const Digest& d, std::array<char, 33>* text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < d.size(); ++i) {
    (*text)[2 * i] = kHex[d[i] >> 4];
    (*text)[2 * i + 1] = kHex[d[i] & 0x0F];
  }
  (*text)[32] = '\0';
  return text->data();
}

void print_summary(const SarOutcome& o, SummaryStyle style, std::FILE* out) {
  std::array<char, 33> file;
  std::array<char, 33> modem;
  NumberText item;
  NumberText size;
  const SummaryField fields[] = {
      {"result", result_name(o), false},
      {"item", number_text(o.item, &item), true},
      {"size", o.size >= 0 ? number_text(o.size, &size) : nullptr, true},
      {"file_md5", o.have_file_md5 ? digest_text(o.file_md5, &file) : nullptr, false},
      {"modem_md5", o.have_modem_md5 ? digest_text(o.modem_md5, &modem) : nullptr, false},
      {"step", step_name(o.status), false},
      {"apply", o.apply, false},
  };
  print_fields(fields, std::size(fields), style, out);
}

void print_summary(const AtOutcome& o, SummaryStyle style, std::FILE* out) {
  NumberText code;
  const SummaryField fields[] = {
      {"result", result_name(o), false},
      {"final", o.final, false},
      {"code", o.code >= 0 ? number_text(o.code, &code) : nullptr, true},
      {"step", step_name(o.status), false},
  };
  print_fields(fields, std::size(fields), style, out);
}

int strict_exit_status(int status, std::FILE* out) {
  const bool lost = std::fflush(out) != 0 || std::ferror(out) != 0;
  return lost && status == kExitOk ? kExitOutputLost : status;
}

}  // namespace tessel

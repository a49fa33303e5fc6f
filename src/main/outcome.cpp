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

// A failure's exit status at `step` in `job`: the same step may cost a
// write, a read or a digest, depending on what the job was after.
int failure_status(Job job, Step step) {
  const bool save = job == Job::kSave;
  switch (step) {
    case Step::kConnect: return kExitNoChannel;
    case Step::kLock: return kExitBusy;
    case Step::kFile: return kExitBadInput;
    case Step::kQuery:
    case Step::kReadback: return kExitNoDigest;
    case Step::kState:
    case Step::kEnable:
    case Step::kWrite:
    case Step::kDisable: return save ? kExitReadFailed : kExitWriteFailed;
    case Step::kApply: return kExitApplyFailed;
    case Step::kVerify: return save ? kExitReadFailed : kExitNotVerified;
    case Step::kRead: return kExitReadFailed;
    case Step::kSave: return kExitSaveFailed;
    case Step::kAnswer: return kExitNoAnswer;
    case Step::kInterrupted:
      // debug_tool's stop is only seen on the summary line: the signal then
      // ends the process.
      return job == Job::kUpdate ? kExitWriteFailed
             : save              ? kExitReadFailed
             : job == Job::kQuery ? kExitNoDigest
                                  : kExitOk;
    case Step::kNone: break;
  }
  return kExitBadInput;  // a failure no step claims is never a success
}

}  // namespace

const char* step_name(const Status& s) {
  static constexpr const char* kNames[] = {
      nullptr,   "connect", "lock",  "file",     "query", "state", "enable", "write",
      "disable", "readback", "apply", "verify", "read",  "save",  "answer", "interrupted",
  };
  static_assert(std::size(kNames) == static_cast<size_t>(Step::kInterrupted) + 1,
                "a name per step");
  return s.ok() ? nullptr : kNames[static_cast<size_t>(s.step)];
}

const char* result_name(const SarOutcome& o) {
  static constexpr const char* kNames[] = {"failed", "updated", "up-to-date",
                                           "differs", "saved",   "queried"};
  return o.failed() ? kNames[0] : kNames[static_cast<size_t>(o.result)];
}

const char* result_name(const AtOutcome& o) {
  static constexpr const char* kNames[] = {"failed", "ok", "error"};
  return o.status.ok() ? kNames[static_cast<size_t>(o.result)] : kNames[0];
}

int exit_status(const SarOutcome& o) {
  if (o.failed()) return failure_status(o.job, o.status.step);
  return o.result == SarResult::kDiffers ? kExitDiffers : kExitOk;
}

int exit_status(const AtOutcome& o) {
  if (!o.status.ok()) return failure_status(Job::kAt, o.status.step);
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

// run_output.cpp — see run_output.h.
#include "main/run_output.h"

#include <fcntl.h>
#include <unistd.h>

#include "api/service_api.h"
#include "diag_log/diag_log.h"

namespace tessel {
namespace {

// Standard output's descriptor, kept as a stream of its own; standard
// output itself then writes to standard error. Null when it cannot be done.
std::FILE* keep_standard_output() {
  std::fflush(stdout);
  const int kept = fcntl(1, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) return nullptr;
  std::FILE* summary = fdopen(kept, "w");
  if (summary == nullptr) {
    close(kept);
    return nullptr;
  }
  if (dup2(2, 1) < 0) {
    std::fclose(summary);
    return nullptr;
  }
  // Line by line, as standard output is (main.cpp).
  std::setvbuf(summary, nullptr, _IOLBF, 0);
  return summary;
}

}  // namespace

RunOutput begin_run_output(const OutputOptions& options) {
  RunOutput out;
  if (options.quiet) log_errors_only(true);
  if (options.timeout_s != 0) SetAnswerTimeout(options.timeout_s);
  if (options.json) {
    out.style = SummaryStyle::kJson;
    if (std::FILE* kept = keep_standard_output()) out.summary = kept;
  }
  return out;
}

}  // namespace tessel

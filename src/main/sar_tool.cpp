// sar_tool.cpp — options and checks of "--command sar_tool".
//
//   sar_tool -d <mbim device> -f <sar table file> [--force] [-n <item>] [--debug]
//            [--strict] [--check] [--lock-wait <seconds>]
//   sar_tool -d <mbim device> --save <file> [-n <item>] [--debug] [--lock-wait <seconds>]
//   sar_tool -d <mbim device> --query [-n <item>] [--debug] [--lock-wait <seconds>]
//   sar_tool --version | --help | -h
// and with any of them -q/--quiet, --json, --timeout <seconds> (run_output.h).
//
// Exit status without --strict: 0 once the checks pass, whatever the
// update's outcome (scripts on the target rely on it); 255 for bad input
// (no -d, an unreadable, irregular or empty table file, a bad -n, options
// that cannot go together); 1 when the device cannot be read and written.
// With --strict (implied by --check, --save, --query and --json) the outcome's own
// status and one summary line (outcome.h); then what would print the usage
// with 0 gives 255, and a device path too long for Init is refused first.
#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diag_log/operator_line.h"
#include "main/arguments.h"
#include "main/command_options.h"
#include "main/outcome.h"
#include "main/progress_line.h"
#include "main/run_output.h"
#include "main/stop_signals.h"
#include "main/sub_commands.h"
#include "main/usage.h"

namespace tessel {
namespace {

constexpr auto kShortOptions = short_options<kSarToolOptions>();
constexpr auto kLongOptions = long_options<kSarToolOptions>();
// --check, --save, --query and --json imply --strict.
constexpr SubCommandSyntax kSyntax = {"sar_tool", kShortOptions.data(), kLongOptions.data(),
                                      "SCWQJ", print_sar_tool_usage, print_sar_tool_help};

int refuse_together(const char* a, const char* b) {
  operator_line(LinePriority::kError, "sar_tool: %s cannot be used with %s\n", a, b);
  return kExitBadInput;
}

// The options that cannot go together, and the table file, checked before
// the device is touched. 0, or kExitBadInput after a message; an update's
// job gets the table's size.
int check_job(SarJob* job) {
  if (job->query) {
    // Nothing but the digest query reaches the modem: anything that would
    // write, compare or read out a table is refused.
    if (job->table != nullptr) return refuse_together("--query", "-f");
    if (job->force != 0) return refuse_together("--query", "--force");
    if (job->check) return refuse_together("--query", "--check");
    if (job->save != nullptr) return refuse_together("--query", "--save");
  } else if (job->save != nullptr) {
    if (job->table != nullptr) return refuse_together("--save", "-f");
    if (job->force != 0) return refuse_together("--save", "--force");
    if (job->check) return refuse_together("--save", "--check");
    // An empty FILE would cost the whole read before failing to be written.
    if (*job->save == '\0') {
      operator_line(LinePriority::kError, "sar_tool: --save needs a FILE to write the table to\n");
      return kExitBadInput;
    }
  } else {
    if (job->check && job->force != 0) return refuse_together("--check", "--force");
    if (check_table_file("sar_tool", job->check ? "--check" : "an update", job->table) != 0) {
      return kExitBadInput;
    }
    struct stat st;
    if (stat(job->table, &st) == 0) job->table_size = st.st_size;
  }
  return 0;
}

}  // namespace

bool sar_tool_strict_arguments(int argc, char** argv) {
  return strict_arguments(argc, argv, kSyntax);
}

int sar_tool_main(int argc, char** argv) {
  SarJob job;
  // A caller that asked for a strict run reads the status: a mistyped
  // option must not pass for success, as the default mode's usage does.
  const bool strict_args = sar_tool_strict_arguments(argc, argv);
  int c;
  while ((c = next_option(argc, argv, kSyntax)) != -1) {
    int status = 0;
    const OptionTaken taken = take_shared_option(c, optarg, kSyntax, &job, &status);
    if (taken == OptionTaken::kEnd) return status;
    if (taken == OptionTaken::kTaken) continue;
    switch (c) {
      case 'd':
        job.device = optarg;  // argv outlives the run; Init copies what it keeps
        break;
      case 'f':
        job.table = optarg;
        break;
      case 'n': {
        // The item travels in 16 bits in the write and the apply: anything
        // else would query one table and write another.
        uint32_t item = 0;
        if (!parse_whole_number(optarg, kMaxItem, &item)) {
          operator_line(LinePriority::kError,
                        "sar_tool: -n wants a whole number from 0 to %u, not '%s'\n", kMaxItem,
                        optarg);
          return kExitBadInput;
        }
        job.item = static_cast<int32_t>(item);
        break;
      }
      case 'F':
        job.force = 1;
        break;
      case 'C':
        job.check = true;
        break;
      case 'W':
        job.save = optarg;
        break;
      case 'Q':
        job.query = true;
        break;
      default:  // -h, -v, an unknown option or a missing argument
        return usage_status(kSyntax, strict_args);
    }
  }
  if (job.device == nullptr) {
    print_sar_tool_usage();
    return kExitBadInput;
  }
  if (strict_args && !device_path_fits("sar_tool", job.device)) return kExitBadInput;
  if (const int refused = check_job(&job); refused != 0) return refused;
  const RunOutput output = begin_run_output(job.output);
  if (access(job.device, R_OK | W_OK) != 0) {
    const int e = errno;
    std::printf("fial to access %s, errno: %d (%s)\n", job.device, e, std::strerror(e));
    return kExitNoAccess;
  }
  job.strict = job.strict || job.check || job.save != nullptr || job.query || job.output.json;
  show_table_progress();
  const SarOutcome o = job.query             ? sar_query(job)
                       : job.save != nullptr ? sar_save(job)
                                             : sar_update(job);
  if (job.strict) print_summary(o, output.style, output.summary);
  end_if_stopped();
  return job.strict ? strict_exit_status(exit_status(o), output.summary) : 0;
}

}  // namespace tessel

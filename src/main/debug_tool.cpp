// debug_tool.cpp — "--command debug_tool": one AT command, its reply printed.
//
//   debug_tool -d <mbim device> -a <at command> [--debug] [--strict] [--lock-wait <seconds>]
//              [-q] [--json] [--timeout <seconds>]
//   debug_tool --version | --help | -h
//
// The AT tunnel prints "Send > …" and "Recv < …"; UnInit prints "UnInit".
// Exit status 0 whatever the exchange's outcome; 255 when -d or -a is
// missing or the command is longer than 127 characters (nothing is sent).
// With --strict (implied by --json) the outcome's own status and one summary line (outcome.h):
// 0 only when the modem answered and its final result is OK; then what would
// print the usage with 0 gives 255, and a device path too long for Init is
// refused first.
#include <getopt.h>

#include <array>
#include <cstdio>
#include <cstring>

#include "diag_log/operator_line.h"
#include "main/arguments.h"
#include "main/outcome.h"
#include "main/run_output.h"
#include "main/stop_signals.h"
#include "main/sub_commands.h"
#include "main/usage.h"

namespace tessel {
namespace {

constexpr char kShortOptions[] = "a:d:vhq";
constexpr option kLongOptions[] = {kVersionOption, kDebugOption, kStrictOption, kLockWaitOption,
                                   kHelpOption,    kQuietOption, kJsonOption,   kTimeoutOption,
                                   kEndOfOptions};

std::array<char, kAtCommandSize> at_command{};

}  // namespace

int debug_tool_main(int argc, char** argv) {
  if (argc <= 1) {
    print_debug_tool_usage();
    return 0;
  }
  const char* device = nullptr;
  bool have_command = false;
  bool strict = false;
  bool debug = false;
  // With --strict (or --json) among the arguments a mistyped option is a
  // failure.
  const bool strict_args = option_among_arguments(argc, argv, kShortOptions, kLongOptions, "SJ");
  uint32_t lock_wait_s = kDefaultLockWaitSeconds;
  OutputOptions output_options;
  int c;
  while ((c = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
    bool bad = false;
    if (take_output_option(c, argv[0], optarg, &output_options, &bad)) {
      if (bad) return kExitBadInput;
      continue;
    }
    switch (c) {
      case 'a': {
        const size_t length = strnlen(optarg, kAtCommandSize);
        if (length >= kAtCommandSize) {
          operator_line(LinePriority::kError, "%s: AT command longer than %zu characters\n",
                        argv[0], kAtCommandSize - 1);
          return -1;
        }
        std::memcpy(at_command.data(), optarg, length + 1);
        have_command = true;
        break;
      }
      case 'd':
        device = optarg;  // argv outlives the run; Init copies what it keeps
        break;
      case 'D':
        debug = true;
        break;
      case 'S':
        strict = true;
        break;
      case 'L':
        if (!parse_lock_wait(argv[0], optarg, &lock_wait_s)) return kExitBadInput;
        break;
      case 'V':
        print_version();
        return 0;
      case 'H':
        print_debug_tool_help();
        return 0;
      default:  // -v, -h, an unknown option or a missing argument
        print_debug_tool_usage();
        return strict_args ? kExitBadInput : 0;
    }
  }
  if (device == nullptr || !have_command) {
    print_debug_tool_usage();
    return -1;
  }
  if (strict_args && !device_path_fits(argv[0], device)) return kExitBadInput;
  strict = strict || output_options.json;
  const RunOutput output = begin_run_output(output_options);

  AtJob job;
  job.device = device;
  job.command = at_command.data();
  job.debug = debug;
  job.lock_wait_s = lock_wait_s;
  const AtOutcome o = at_send(job);
  if (strict) print_summary(o, output.style, output.summary);
  end_if_stopped();
  return strict ? strict_exit_status(exit_status(o), output.summary) : 0;
}

}  // namespace tessel

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
#include "main/command_options.h"
#include "main/outcome.h"
#include "main/run_output.h"
#include "main/stop_signals.h"
#include "main/sub_commands.h"
#include "main/usage.h"

namespace tessel {
namespace {

constexpr auto kShortOptions = short_options<kDebugToolOptions>();
constexpr auto kLongOptions = long_options<kDebugToolOptions>();
// --json implies --strict.
constexpr SubCommandSyntax kSyntax = {"debug_tool", kShortOptions.data(), kLongOptions.data(),
                                      "SJ", print_debug_tool_usage, print_debug_tool_help};

std::array<char, kAtCommandSize> at_command{};

}  // namespace

int debug_tool_main(int argc, char** argv) {
  if (argc <= 1) {
    print_debug_tool_usage();
    return 0;
  }
  const char* device = nullptr;
  bool have_command = false;
  SharedOptions shared;
  // With --strict (or --json) among the arguments a mistyped option is a
  // failure.
  const bool strict_args = strict_arguments(argc, argv, kSyntax);
  int c;
  while ((c = next_option(argc, argv, kSyntax)) != -1) {
    int status = 0;
    const OptionTaken taken = take_shared_option(c, optarg, kSyntax, &shared, &status);
    if (taken == OptionTaken::kEnd) return status;
    if (taken == OptionTaken::kTaken) continue;
    switch (c) {
      case 'a': {
        const size_t length = strnlen(optarg, kAtCommandSize);
        if (length >= kAtCommandSize) {
          operator_line(LinePriority::kError, "debug_tool: AT command longer than %zu characters\n",
                        kAtCommandSize - 1);
          return -1;
        }
        std::memcpy(at_command.data(), optarg, length + 1);
        have_command = true;
        break;
      }
      case 'd':
        device = optarg;  // argv outlives the run; Init copies what it keeps
        break;
      default:  // -v, -h, an unknown option or a missing argument
        return usage_status(kSyntax, strict_args);
    }
  }
  if (device == nullptr || !have_command) {
    print_debug_tool_usage();
    return -1;
  }
  if (strict_args && !device_path_fits("debug_tool", device)) return kExitBadInput;
  const bool strict = shared.strict || shared.output.json;
  const RunOutput output = begin_run_output(shared.output);

  AtJob job;
  job.device = device;
  job.command = at_command.data();
  job.debug = shared.debug;
  job.lock_wait_s = shared.lock_wait_s;
  const AtOutcome o = at_send(job);
  if (strict) print_summary(o, output.style, output.summary);
  end_if_stopped();
  return strict ? strict_exit_status(exit_status(o), output.summary) : 0;
}

}  // namespace tessel

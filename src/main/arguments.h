// arguments.h — the values of the command line, checked whole before
// anything is opened.
//
// The item number travels in 16 bits in the table write and the apply, so a
// number outside 0..65535 would query one table and write another; text
// that is not a number must not silently become item 0.
#ifndef TESSEL_MAIN_ARGUMENTS_H_
#define TESSEL_MAIN_ARGUMENTS_H_

#include <getopt.h>

#include <cstdint>

namespace tessel {

// The long options both sub-commands take, and the end of a table.
constexpr option kVersionOption = {"version", no_argument, nullptr, 'V'};
constexpr option kDebugOption = {"debug", no_argument, nullptr, 'D'};
constexpr option kStrictOption = {"strict", no_argument, nullptr, 'S'};
constexpr option kLockWaitOption = {"lock-wait", required_argument, nullptr, 'L'};
constexpr option kHelpOption = {"help", no_argument, nullptr, 'H'};
constexpr option kQuietOption = {"quiet", no_argument, nullptr, 'q'};
constexpr option kJsonOption = {"json", no_argument, nullptr, 'J'};
constexpr option kTimeoutOption = {"timeout", required_argument, nullptr, 'T'};
constexpr option kEndOfOptions = {nullptr, 0, nullptr, 0};

constexpr uint32_t kMaxItem = 65535;
constexpr uint32_t kDefaultLockWaitSeconds = 300;
constexpr uint32_t kMaxLockWaitSeconds = 86400;
constexpr uint32_t kMinTimeoutSeconds = 1;
constexpr uint32_t kMaxTimeoutSeconds = 300;

// What both sub-commands' -q, --json and --timeout ask of a run's output
// and waits (run_output.h).
struct OutputOptions {
  bool quiet = false;      // only error-level records
  bool json = false;       // the summary as one JSON object; implies --strict
  uint32_t timeout_s = 0;  // each wait for an answer; 0: the transport's 30 s
};

// Reads a whole decimal number from 0 to `max`, with an optional leading
// '+' and nothing else (no blanks, no sign '-', no trailing characters).
// True with `*out` set, false otherwise.
bool parse_whole_number(const char* text, uint32_t max, uint32_t* out);

// Reads --lock-wait's seconds (0 to kMaxLockWaitSeconds) into `*out`. False,
// after a message headed by `program`, for anything else.
bool parse_lock_wait(const char* program, const char* text, uint32_t* out);

// Takes -q ('q'), --json ('J') and --timeout ('T', its seconds from
// kMinTimeoutSeconds to kMaxTimeoutSeconds) into `*out`: true when `code`
// was one of them. `*bad` is set, after a message headed by `program`, for
// a --timeout out of range.
bool take_output_option(int code, const char* program, const char* text, OutputOptions* out,
                        bool* bad);

// Checks the table file of sar_tool before the device is touched: given (a
// message saying that `mode`, "an update" or "--check", needs -f otherwise),
// readable (a perror line naming it otherwise, as always), a regular file
// and not empty (a message naming it). `program` heads the messages. 0 or -1.
int check_table_file(const char* program, const char* mode, const char* path);

// True when getopt_long, given these options, returns one of `codes` for
// the arguments: the parser's own reading, abbreviations included. Silent;
// the parser then starts over for the real pass.
bool option_among_arguments(int argc, char** argv, const char* short_options,
                            const option* long_options, const char* codes);

// Init keeps at most kMaxDevicePath characters of the device path. False,
// after a message headed by `program` naming the limit, for a longer one.
bool device_path_fits(const char* program, const char* device);

}  // namespace tessel

#endif  // TESSEL_MAIN_ARGUMENTS_H_

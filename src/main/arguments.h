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

// What the options both sub-commands take set (command_options.h).
struct SharedOptions {
  bool debug = false;   // --debug
  bool strict = false;  // --strict; what else implies it is the sub-command's
  uint32_t lock_wait_s = kDefaultLockWaitSeconds;  // --lock-wait
  OutputOptions output;                            // -q, --json, --timeout
};

// A sub-command's parser, as the parts every sub-command shares see it.
struct SubCommandSyntax {
  const char* name;            // "sar_tool": heads the parser's and our messages
  const char* short_options;   // built from its table (option_table.h)
  const option* long_options;  // likewise
  const char* strict_codes;    // the codes of the options that ask for a strict run
  void (*print_usage)();       // the short usage, for -h, -v and a bad option
  void (*print_help)();        // --help
};

// The next option of the command line, as getopt_long returns it.
int next_option(int argc, char** argv, const SubCommandSyntax& syntax);

// True when one of the options of `syntax.strict_codes` is among the
// arguments as the parser itself reads them, abbreviations and options run
// together included. Silent; the parser then starts over for the real pass.
bool strict_arguments(int argc, char** argv, const SubCommandSyntax& syntax);

enum class OptionTaken {
  kOwn,    // not a shared option: the sub-command reads it
  kTaken,  // read; go on with the next one
  kEnd,    // the run ends here, with *status
};

// Reads option `code` (its argument `text`) when it is one of the shared
// ones: --debug, --strict, --lock-wait, -q, --json, --timeout, --version
// and --help. --version and --help print their text and end with 0; a
// --lock-wait or --timeout out of range ends with kExitBadInput after a
// message headed by the sub-command's name.
OptionTaken take_shared_option(int code, const char* text, const SubCommandSyntax& syntax,
                               SharedOptions* out, int* status);

// -h, -v, an unknown option or a missing argument (after the parser's own
// complaint): prints the short usage and returns the exit status, 0, or
// kExitBadInput when the caller asked for a strict run (`strict_args`),
// since a mistyped option must then not pass for success.
int usage_status(const SubCommandSyntax& syntax, bool strict_args);

// Checks the table file of sar_tool before the device is touched: given (a
// message saying that `mode`, "an update" or "--check", needs -f otherwise),
// readable (a perror line naming it otherwise, as always), a regular file
// and not empty (a message naming it). `program` heads the messages. 0 or -1.
int check_table_file(const char* program, const char* mode, const char* path);

// Init keeps at most kMaxDevicePath characters of the device path. False,
// after a message headed by `program` naming the limit, for a longer one.
bool device_path_fits(const char* program, const char* device);

}  // namespace tessel

#endif  // TESSEL_MAIN_ARGUMENTS_H_

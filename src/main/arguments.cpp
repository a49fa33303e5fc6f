// arguments.cpp — see arguments.h.
#include "main/arguments.h"

#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "api/service_api.h"
#include "diag_log/operator_line.h"
#include "main/outcome.h"
#include "main/usage.h"

namespace tessel {

bool parse_whole_number(const char* text, uint32_t max, uint32_t* out) {
  if (text == nullptr) return false;
  if (*text == '+') ++text;
  if (*text == '\0') return false;
  uint32_t value = 0;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
    value = value * 10 + static_cast<uint32_t>(*text - '0');
    if (value > max) return false;  // also stops the sum before it can wrap
  }
  *out = value;
  return true;
}

int check_table_file(const char* program, const char* mode, const char* path) {
  if (path == nullptr) {
    operator_line(LinePriority::kError, "%s: %s needs -f <sar table file>\n", program, mode);
    return -1;
  }
  // stat, not open: opening a FIFO would wait for a writer for ever.
  struct stat st;
  if (access(path, R_OK) != 0 || stat(path, &st) != 0) {
    // perror's line (no prefix for an empty path), with a priority in the
    // journal.
    operator_line(LinePriority::kError, "%s%s%s\n", path, *path != '\0' ? ": " : "",
                  std::strerror(errno));
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    operator_line(LinePriority::kError, "%s: %s: not a regular file\n", program, path);
    return -1;
  }
  if (st.st_size == 0) {
    operator_line(LinePriority::kError, "%s: %s: the table file is empty\n", program, path);
    return -1;
  }
  return 0;
}

int next_option(int argc, char** argv, const SubCommandSyntax& syntax) {
  return getopt_long(argc, argv, syntax.short_options, syntax.long_options, nullptr);
}

bool strict_arguments(int argc, char** argv, const SubCommandSyntax& syntax) {
  // A leading ':' makes a missing argument ':' (with optopt naming the
  // option, "--save" at the end counts) and keeps it apart from an unknown
  // option, '?'.
  std::array<char, 32> quiet{':'};
  std::strncpy(quiet.data() + 1, syntax.short_options, quiet.size() - 2);
  const int saved_opterr = opterr;
  opterr = 0;
  optind = 0;  // 0, not 1: the parser also forgets where it was in a cluster
  bool found = false;
  int c;
  while ((c = getopt_long(argc, argv, quiet.data(), syntax.long_options, nullptr)) != -1) {
    if (c == ':') c = optopt;
    if (c != '?' && c != 0 && std::strchr(syntax.strict_codes, c) != nullptr) found = true;
  }
  opterr = saved_opterr;
  optind = 0;
  return found;
}

OptionTaken take_shared_option(int code, const char* text, const SubCommandSyntax& syntax,
                               SharedOptions* out, int* status) {
  switch (code) {
    case 'D':
      out->debug = true;
      return OptionTaken::kTaken;
    case 'S':
      out->strict = true;
      return OptionTaken::kTaken;
    case 'q':
      out->output.quiet = true;
      return OptionTaken::kTaken;
    case 'J':
      out->output.json = true;
      return OptionTaken::kTaken;
    case 'L':
      if (parse_whole_number(text, kMaxLockWaitSeconds, &out->lock_wait_s)) {
        return OptionTaken::kTaken;
      }
      operator_line(LinePriority::kError,
                    "%s: --lock-wait wants whole seconds from 0 to %u, not '%s'\n", syntax.name,
                    kMaxLockWaitSeconds, text);
      *status = kExitBadInput;
      return OptionTaken::kEnd;
    case 'T': {
      uint32_t seconds = 0;
      if (parse_whole_number(text, kMaxTimeoutSeconds, &seconds) && seconds >= kMinTimeoutSeconds) {
        out->output.timeout_s = seconds;
        return OptionTaken::kTaken;
      }
      operator_line(LinePriority::kError,
                    "%s: --timeout wants whole seconds from %u to %u, not '%s'\n", syntax.name,
                    kMinTimeoutSeconds, kMaxTimeoutSeconds, text);
      *status = kExitBadInput;
      return OptionTaken::kEnd;
    }
    case 'V':
      print_version();
      *status = 0;
      return OptionTaken::kEnd;
    case 'H':
      syntax.print_help();
      *status = 0;
      return OptionTaken::kEnd;
    default:
      return OptionTaken::kOwn;
  }
}

int usage_status(const SubCommandSyntax& syntax, bool strict_args) {
  syntax.print_usage();
  return strict_args ? kExitBadInput : 0;
}

bool device_path_fits(const char* program, const char* device) {
  if (std::strlen(device) <= kMaxDevicePath) return true;
  operator_line(LinePriority::kError, "%s: the device path is longer than %zu characters: %s\n",
                program, kMaxDevicePath, device);
  return false;
}

}  // namespace tessel

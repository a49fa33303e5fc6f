// debug_tool.cpp — "--command debug_tool": one AT command, its reply printed.
//
//   debug_tool -d <mbim device> -a <at command> [--debug]
//
// The AT tunnel prints "Send > …" and "Recv < …"; UnInit prints "UnInit".
// Exit status 0 whatever the exchange's outcome; 255 when -d or -a is
// missing or the command is longer than 127 characters (nothing is sent).
#include <getopt.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "main/sub_commands.h"
#include "main/usage.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {
namespace {

constexpr char kShortOptions[] = "a:d:vh";
constexpr option kLongOptions[] = {
    {"version", no_argument, nullptr, 'V'},
    {"debug", no_argument, nullptr, 'D'},
    {nullptr, 0, nullptr, 0},
};

std::array<char, kAtCommandSize> at_command{};

}  // namespace

int debug_tool_main(int argc, char** argv) {
  if (argc <= 1) {
    print_debug_tool_usage();
    return 0;
  }
  const char* device = nullptr;
  bool have_command = false;
  int c;
  while ((c = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
    switch (c) {
      case 'a': {
        const size_t length = strnlen(optarg, kAtCommandSize);
        if (length >= kAtCommandSize) {
          std::fprintf(stderr, "%s: AT command longer than %zu characters\n", argv[0],
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
      case 'D':
        setenv("VERBOSE", "1", 1);
        break;
      case 'V':
        print_version();
        return 0;
      default:  // -v, -h, an unknown option or a missing argument
        print_debug_tool_usage();
        return 0;
    }
  }
  if (device == nullptr || !have_command) {
    print_debug_tool_usage();
    return -1;
  }

  int ready = 0;
  int result = Init(device);
  if (result != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] Init err=%d", result);
  } else if ((result = GetIsMbimReady(&ready)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] GetIsMbimReady err=%d", result);
  } else if (ready) {
    SendAtCommand(at_command.data(), nullptr);
  }
  UnInit();
  return 0;
}

}  // namespace tessel

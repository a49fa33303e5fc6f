// sar_tool.cpp — options and path checks of "--command sar_tool".
//
//   sar_tool -d <mbim device> -f <sar table file> [--force] [-n <item>] [--debug]
//
// Exit status: 0 once the checks pass, whatever the update's outcome (scripts
// on the target rely on it); 255 without -d or with an unreadable table file;
// 1 when the device cannot be read and written.
#include <getopt.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "main/sub_commands.h"
#include "main/usage.h"

namespace tessel {
namespace {

constexpr char kShortOptions[] = "d:f:v:n:h";
constexpr option kLongOptions[] = {
    {"force", no_argument, nullptr, 'F'},
    {"version", no_argument, nullptr, 'V'},
    {"debug", no_argument, nullptr, 'D'},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

int sar_tool_main(int argc, char** argv) {
  const char* device = nullptr;
  const char* table = nullptr;
  int32_t item = kDefaultItem;
  int force = 0;
  int c;
  while ((c = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr)) != -1) {
    switch (c) {
      case 'd':
        device = optarg;  // argv outlives the run; Init copies what it keeps
        break;
      case 'f':
        table = optarg;
        break;
      case 'n':
        // Unchecked, as operators have always used it: text that is not a
        // number gives 0, trailing characters are ignored.
        item = static_cast<int32_t>(std::strtol(optarg, nullptr, 10));
        break;
      case 'F':
        force = 1;
        break;
      case 'D':
        setenv("VERBOSE", "1", 1);
        break;
      case 'V':
        print_version();
        return 0;
      default:  // -h, -v, an unknown option or a missing argument
        print_sar_tool_usage();
        return 0;
    }
  }
  if (device == nullptr) {
    print_sar_tool_usage();
    return -1;
  }
  // Without -f the check fails too, and the report has no prefix.
  if (table == nullptr) {
    errno = ENOENT;
    std::perror(nullptr);
    return -1;
  }
  if (access(table, R_OK) != 0) {
    std::perror(table);
    return -1;
  }
  if (access(device, R_OK | W_OK) != 0) {
    const int e = errno;
    std::printf("fial to access %s, errno: %d (%s)\n", device, e, std::strerror(e));
    return 1;
  }
  sar_update(device, table, item, force);
  return 0;
}

}  // namespace tessel

// main.cpp — the process entry: "--command <sub-command> <parameters>".
#include <cstring>

#include "main/sub_commands.h"
#include "main/usage.h"

int main(int argc, char** argv) {
  if (argc > 2 && std::strcmp(argv[1], "--command") == 0) {
    if (std::strcmp(argv[2], "sar_tool") == 0) return tessel::sar_tool_main(argc - 2, argv + 2);
    if (std::strcmp(argv[2], "debug_tool") == 0) return tessel::debug_tool_main(argc - 2, argv + 2);
    return 0;  // an unknown sub-command does nothing
  }
  tessel::print_usage(argv[0] != nullptr ? argv[0] : "tessel");
  return -1;
}

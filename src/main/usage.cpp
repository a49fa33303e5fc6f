// usage.cpp — see usage.h.
#include "main/usage.h"

#include <cstdio>

namespace tessel {

void print_usage(const char* invocation) {
  std::printf("%s\n---\n\n", kVersion);
  std::printf("%s --command <sub-command> <parameters>\n\n", invocation);
  std::printf("sub-command:\n");
  std::printf("\tsar_tool\n");
  std::printf("\tdebug_tool\n\n");
}

void print_sar_tool_usage() {
  std::printf("-d <mbim device> -f <sar table file> [--force]\n");
  std::printf("--version\n");
}

void print_debug_tool_usage() {
  std::printf("-d <mbim device> -a <at command>\n");
  std::printf("--version\n");
}

void print_version() { std::printf("%s\n", kVersion); }

}  // namespace tessel

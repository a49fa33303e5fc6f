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

}  // namespace tessel

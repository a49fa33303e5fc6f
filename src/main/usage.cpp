// usage.cpp — see usage.h.
#include "main/usage.h"

#include <cstdio>

#include "main/command_options.h"

namespace tessel {
namespace {

// Built from the option tables when the tool is compiled: one text each,
// printed whole.
constexpr auto kSarToolHelp = help_text<kSarToolOptions, kHelpColumn>();
constexpr auto kDebugToolHelp = help_text<kDebugToolOptions, kHelpColumn>();

}  // namespace

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

void print_sar_tool_help() { std::fputs(kSarToolHelp.data(), stdout); }

void print_debug_tool_help() { std::fputs(kDebugToolHelp.data(), stdout); }

void print_version() { std::printf("%s\n", kVersion); }

}  // namespace tessel

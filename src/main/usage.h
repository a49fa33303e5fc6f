// usage.h — the texts the tool prints for an operator: version, usage and help.
#ifndef TESSEL_MAIN_USAGE_H_
#define TESSEL_MAIN_USAGE_H_

namespace tessel {

// The project's version in CMakeLists.txt, the only place it is written
// (src/main/CMakeLists.txt passes it in), printed with a leading "v".
constexpr char kVersion[] = "v" TESSEL_VERSION;

// The top-level usage, nine lines on standard output.
void print_usage(const char* invocation);

// The two lines of each sub-command's usage. The item number option -n of
// sar_tool is accepted but not listed.
void print_sar_tool_usage();
void print_debug_tool_usage();

// --help: the sub-command's option table (command_options.h), one line per
// option, and where the whole story is (tessel(1)).
void print_sar_tool_help();
void print_debug_tool_help();

void print_version();

}  // namespace tessel

#endif  // TESSEL_MAIN_USAGE_H_

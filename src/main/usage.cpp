// usage.cpp — see usage.h.
#include "main/usage.h"

#include <cstdio>

namespace tessel {
namespace {

// One text each, printed whole: a list of calls would cost more bytes.
constexpr char kSarToolHelp[] =
    "Usage: tessel --command sar_tool -d <mbim device> -f <sar table file> [options]\n"
    "       tessel --command sar_tool -d <mbim device> --save <file> [options]\n"
    "       tessel --command sar_tool -d <mbim device> --query [options]\n"
    "Brings the modem's SAR table in line with the table file.\n"
    "  -d <mbim device>       MBIM device node or /var/volatile/mbim-proxy (31 chars)\n"
    "  -f <sar table file>    the table to write, or to compare with --check\n"
    "  -n <item>              the table's item number, 0 to 65535 (default 48001)\n"
    "  --force                write the table even when the digests agree\n"
    "  --strict               an exit status that says what happened, a summary line\n"
    "  --check                compare the digests only; changes nothing in the modem\n"
    "  --save <file>          read the modem's table into <file>, checked by its digest\n"
    "  --query                print the modem's digest for the item; changes nothing\n"
    "  --lock-wait <seconds>  wait for another run on the device (default 300)\n"
    "  --timeout <seconds>    wait 1 to 300 s for each answer (default 30)\n"
    "  --json                 the summary as one JSON object; implies --strict\n"
    "  --quiet                only error records on standard error (also -q)\n"
    "  --debug                decode every MBIM message into the log\n"
    "  --version              print the version\n"
    "  -h                     print the short usage\n"
    "  -v <any>               print the short usage\n"
    "  --help                 print this help\n"
    "See tessel(1) for the exit statuses and the summary line.\n";

constexpr char kDebugToolHelp[] =
    "Usage: tessel --command debug_tool -d <mbim device> -a <at command> [options]\n"
    "Sends one AT command through the modem's MBIM AT tunnel, prints the reply.\n"
    "  -d <mbim device>       MBIM device node or /var/volatile/mbim-proxy (31 chars)\n"
    "  -a <at command>        the AT command, at most 127 characters, sent as given\n"
    "  --strict               an exit status that says what happened, a summary line\n"
    "  --lock-wait <seconds>  wait for another run on the device (default 300)\n"
    "  --timeout <seconds>    wait 1 to 300 s for the answer (default 30)\n"
    "  --json                 the summary as one JSON object; implies --strict\n"
    "  --quiet                only error records on standard error (also -q)\n"
    "  --debug                decode every MBIM message into the log\n"
    "  --version              print the version\n"
    "  -h                     print the short usage\n"
    "  -v                     print the short usage\n"
    "  --help                 print this help\n"
    "See tessel(1) for the exit statuses and the summary line.\n";

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

void print_sar_tool_help() { std::fputs(kSarToolHelp, stdout); }

void print_debug_tool_help() { std::fputs(kDebugToolHelp, stdout); }

void print_version() { std::printf("%s\n", kVersion); }

}  // namespace tessel

// command_options.h — the options of sar_tool and debug_tool, one table
// each (option_table.h): what getopt_long reads, what --help prints, and
// what the docs check holds tessel(1) and the README against.
//
// The options both sub-commands take are rows of their own, written once
// and placed in each table where its --help lists them; take_shared_option
// (arguments.h) reads them, each sub-command's switch its own. A long
// option without a short spelling returns a capital letter, which no short
// option uses. The short usage texts (usage.h) are not built from here: they
// are what scripts have always matched, and name only a few options.
#ifndef TESSEL_MAIN_COMMAND_OPTIONS_H_
#define TESSEL_MAIN_COMMAND_OPTIONS_H_

#include <cstddef>

#include "main/option_table.h"

namespace tessel {

// Where --help starts each option's help.
constexpr size_t kHelpColumn = 25;

constexpr OptionRow kDeviceRow = {nullptr, 'd', "<mbim device>",
                                  "MBIM device node or /var/volatile/mbim-proxy (31 chars)"};
constexpr OptionRow kStrictRow = {"strict", 'S', nullptr,
                                  "an exit status that says what happened, a summary line"};
constexpr OptionRow kLockWaitRow = {"lock-wait", 'L', "<seconds>",
                                    "wait for another run on the device (default 300)"};
constexpr OptionRow kJsonRow = {"json", 'J', nullptr,
                                "the summary as one JSON object; implies --strict"};
constexpr OptionRow kQuietRow = {"quiet", 'q', nullptr,
                                 "only error records on standard error (also -q)", true};
constexpr OptionRow kDebugRow = {"debug", 'D', nullptr, "decode every MBIM message into the log"};
constexpr OptionRow kVersionRow = {"version", 'V', nullptr, "print the version"};
constexpr OptionRow kShortUsageRow = {nullptr, 'h', nullptr, "print the short usage"};
constexpr OptionRow kHelpRow = {"help", 'H', nullptr, "print this help"};
constexpr OptionRow kManualRow =
    text_row("See tessel(1) for the exit statuses and the summary line.\n");

// --timeout, whose help names the waits of the sub-command.
constexpr OptionRow timeout_row(const char* help) { return {"timeout", 'T', "<seconds>", help}; }

constexpr OptionRow kSarToolOptions[] = {
    text_row("Usage: tessel --command sar_tool -d <mbim device> -f <sar table file> [options]\n"
             "       tessel --command sar_tool -d <mbim device> --save <file> [options]\n"
             "       tessel --command sar_tool -d <mbim device> --query [options]\n"
             "Brings the modem's SAR table in line with the table file.\n"),
    kDeviceRow,
    {nullptr, 'f', "<sar table file>", "the table to write, or to compare with --check"},
    {nullptr, 'n', "<item>", "the table's item number, 0 to 65535 (default 48001)"},
    {"force", 'F', nullptr, "write the table even when the digests agree"},
    kStrictRow,
    {"check", 'C', nullptr, "compare the digests only; changes nothing in the modem"},
    {"save", 'W', "<file>", "read the modem's table into <file>, checked by its digest"},
    {"query", 'Q', nullptr, "print the modem's digest for the item; changes nothing"},
    kLockWaitRow,
    timeout_row("wait 1 to 300 s for each answer (default 30)"),
    kJsonRow,
    kQuietRow,
    kDebugRow,
    kVersionRow,
    kShortUsageRow,
    {nullptr, 'v', "<any>", "print the short usage"},  // its argument has always been taken
    kHelpRow,
    kManualRow,
};

constexpr OptionRow kDebugToolOptions[] = {
    text_row("Usage: tessel --command debug_tool -d <mbim device> -a <at command> [options]\n"
             "Sends one AT command through the modem's MBIM AT tunnel, prints the reply.\n"),
    kDeviceRow,
    {nullptr, 'a', "<at command>", "the AT command, at most 127 characters, sent as given"},
    kStrictRow,
    kLockWaitRow,
    timeout_row("wait 1 to 300 s for the answer (default 30)"),
    kJsonRow,
    kQuietRow,
    kDebugRow,
    kVersionRow,
    kShortUsageRow,
    {nullptr, 'v', nullptr, "print the short usage"},
    kHelpRow,
    kManualRow,
};

}  // namespace tessel

#endif  // TESSEL_MAIN_COMMAND_OPTIONS_H_

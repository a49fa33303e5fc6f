// usage.cpp — the --help text, built from the option rows when the
// simulator is compiled.
#include "modem_sim/option_rows.h"
#include "modem_sim/options.h"

namespace tessel::sim {
namespace {

constexpr auto kUsage = tessel::help_text<kSimOptions, kHelpColumn>();

}  // namespace

void print_usage(std::FILE* stream) { std::fputs(kUsage.data(), stream); }

}  // namespace tessel::sim

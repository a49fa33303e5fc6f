// option_list.cpp — prints every option of the option tables, one line
// each ("sar_tool -d", "tessel-modem-sim --pty"; -q and --quiet apart), for
// docs_list_the_options.sh, which holds the docs against them.
#include <cstdio>

#include "main/command_options.h"
#include "modem_sim/option_rows.h"

namespace {

template <size_t N>
void print_options(const char* table, const tessel::OptionRow (&rows)[N]) {
  for (const tessel::OptionRow& row : rows) {
    if (tessel::has_short_spelling(row)) std::printf("%s -%c\n", table, row.code);
    if (row.long_name != nullptr) std::printf("%s --%s\n", table, row.long_name);
  }
}

}  // namespace

int main() {
  print_options("sar_tool", tessel::kSarToolOptions);
  print_options("debug_tool", tessel::kDebugToolOptions);
  print_options("tessel-modem-sim", tessel::sim::kSimOptions);
  return 0;
}

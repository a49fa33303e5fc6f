// sub_commands.h — the two sub-commands behind "--command".
//
// Each receives the process's arguments without the first two (the program
// name and "--command"), so element 0 is the sub-command's own name, which
// the option parser's diagnostics then show. The result becomes the exit
// status, taken modulo 256 (-1 gives 255).
#ifndef TESSEL_MAIN_SUB_COMMANDS_H_
#define TESSEL_MAIN_SUB_COMMANDS_H_

#include <cstdint>

namespace tessel {

constexpr int32_t kDefaultItem = 48001;
constexpr size_t kAtCommandSize = 128;  // 127 characters and the terminator

int sar_tool_main(int argc, char** argv);
int debug_tool_main(int argc, char** argv);

// The SAR table update: compare digests, write, read back, apply. 0, or the
// result of the step that failed.
int sar_update(const char* device, const char* table, int32_t item, int force);

}  // namespace tessel

#endif  // TESSEL_MAIN_SUB_COMMANDS_H_

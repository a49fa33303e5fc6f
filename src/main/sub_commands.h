// sub_commands.h — the two sub-commands behind "--command", the jobs of
// sar_tool and debug_tool's.
//
// Each sub-command receives the process's arguments without the first two
// (the program name and "--command"), so element 0 is the sub-command's own
// name, which the option parser's diagnostics then show. The result becomes
// the exit status, taken modulo 256 (-1 gives 255).
#ifndef TESSEL_MAIN_SUB_COMMANDS_H_
#define TESSEL_MAIN_SUB_COMMANDS_H_

#include <cstddef>
#include <cstdint>

#include "main/arguments.h"
#include "main/outcome.h"

namespace tessel {

constexpr int32_t kDefaultItem = 48001;
constexpr size_t kAtCommandSize = 128;  // 127 characters and the terminator

int sar_tool_main(int argc, char** argv);
int debug_tool_main(int argc, char** argv);

// True when --strict, --check, --save, --query or --json is among the
// arguments as sar_tool's parser reads them; an unknown sub-command is
// judged the same way.
bool sar_tool_strict_arguments(int argc, char** argv);

// One sar_tool run, its options checked. `strict` is also set by --check,
// --save, --query and --json.
struct SarJob : SharedOptions {
  const char* device = nullptr;
  const char* table = nullptr;  // -f
  int64_t table_size = -1;      // taken by the front end's checks
  const char* save = nullptr;   // --save FILE
  int32_t item = kDefaultItem;
  int force = 0;
  bool check = false;
  bool query = false;
};

// The SAR table update: compare digests, write, read back, apply (and with
// --strict verify). With job.check, the comparison alone. Ends with UnInit.
SarOutcome sar_update(const SarJob& job);

// --save: the table the modem holds, read out into job.save when it matches
// the modem's digest. Ends with UnInit.
SarOutcome sar_save(const SarJob& job);

// --query: the digest the modem reports for job.item, and nothing else sent.
// Ends with UnInit.
SarOutcome sar_query(const SarJob& job);

// One debug_tool run, its options checked.
struct AtJob {
  const char* device = nullptr;
  const char* command = nullptr;  // at most kAtCommandSize - 1 characters
  bool debug = false;             // --debug
  uint32_t lock_wait_s = kDefaultLockWaitSeconds;
};

// debug_tool's exchange: the AT command sent, its reply's final result read
// (at_result.h). Ends with UnInit.
AtOutcome at_send(const AtJob& job);

}  // namespace tessel

#endif  // TESSEL_MAIN_SUB_COMMANDS_H_

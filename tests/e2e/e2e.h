// e2e.h — what the end-to-end tests share: running the built tool as a user
// would, reading its log records back from standard error, and naming the
// requests the simulated modem received so a test can list them by hand.
//
// The host build's log writes one line per record on standard error:
//   E src/main:57 [tessel] Init err=-1
// records() drops the line number, so tests compare "E src/main [tessel] ..."
// and do not break when a source line moves. A record whose text holds line
// feeds spans several lines; they are joined back with '\n'.
#ifndef TESSEL_TESTS_E2E_E2E_H_
#define TESSEL_TESTS_E2E_E2E_H_

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "process.h"
#include "mbim_format/protocol_log.h"

namespace e2e {

using Bytes = std::vector<uint8_t>;

// What the tool prints on standard output, written out as an operator sees it.
inline const std::string kVersionLine = "v1.1.1\n";
inline const std::string kSarToolUsage =
    "-d <mbim device> -f <sar table file> [--force]\n"
    "--version\n";
inline const std::string kDebugToolUsage =
    "-d <mbim device> -a <at command>\n"
    "--version\n";
inline const std::string kUnInit = "UnInit\n";

// A run of the tool and how long it took.
struct Outcome {
  process::Result result;
  std::chrono::milliseconds elapsed{0};
};

// Runs the built tool with `args` after its own path. VERBOSE is removed
// from the environment unless `options.env` sets it, so a VERBOSE left in
// the caller's shell cannot switch the message dump on.
Outcome tessel(const std::vector<std::string>& args, process::Options options = process::Options());

// The log records on `err`, each as "<I|E> <source file> <text>", in order.
// A line that does not start a record continues the record before it; lines
// before the first record (a perror line, the option parser's diagnostic)
// come out as "? <line>".
std::vector<std::string> records(const std::string& err);

// A normal-level record of the message formats or the commands, as records()
// gives it: "I src/mbim_protocol <text>".
inline std::string protocol_record(const std::string& text) {
  return std::string("I ") + tessel::kProtocolLogFile + " " + text;
}

// One request as the modem saw it, for lists written by hand:
//   "22 0000bb81"                       QMBE CID 22, InformationBuffer in hex
//   "25 item=48001 len=1024 first"      QMBE CID 25: the DIAG write packet
//                                       (unescaped) and its first/next flag
//   "at 00000000415449"                 AT tunnel CID 8
// Anything that is not a single-fragment set command, or a CID 25 frame
// that does not hold a whole write packet, is named "malformed: ...".
std::string describe(const Bytes& request);
std::vector<std::string> describe(const std::vector<std::vector<unsigned char>>& requests);

using process::pattern;

// Tests that connect to the simulator: skipped when a real proxy is visible
// and the suite does not run in namespaces of its own.
class ModemTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

// Where root's runs keep their device state records (a tmpfs of the test's
// own under isolated.sh).
inline constexpr char kStateDirectory[] = "/var/lib/tessel";

// Removes every device state record, in the test's namespaces only: a new
// simulated modem must not meet what a run left about an earlier one on the
// same pty number.
void forget_device_states();

// A simulator serving on a pty, with `args` after --pty, its device state
// forgotten (forget_device_states). Callers check ready() before using path().
std::unique_ptr<process::Simulator> start_modem(const std::vector<std::string>& args = {});

}  // namespace e2e

#endif  // TESSEL_TESTS_E2E_E2E_H_

// e2e.h — what the end-to-end tests share: running the built tool as a user
// would, reading its log records back from standard error
// (support/log_records.h), naming the requests the simulated modem received
// so a test can list them by hand, and the matchers the tests read with.
#ifndef TESSEL_TESTS_E2E_E2E_H_
#define TESSEL_TESTS_E2E_E2E_H_

#include <gmock/gmock.h>
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
// Requests as describe() names them.
using Requests = std::vector<std::string>;

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::IsSupersetOf;
using ::testing::Matcher;
using ::testing::Not;
using ::testing::StartsWith;

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

// Runs the built tool with `args` after its own path, as process::run_tool().
Outcome tessel(const std::vector<std::string>& args, process::Options options = process::Options());

// The log records on `err`, each as "<I|E> <source file> <text>", in order,
// a record's lines joined with '\n'; lines before the first record (a perror
// line, the option parser's diagnostic) come out as "? <line>".
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

// Bytes in lower-case hex, two digits each.
std::string hex(const Bytes& bytes);
// The MD5 digest of `bytes` as the tool prints it: 32 lower-case hex digits.
std::string md5_hex(const Bytes& bytes);

// Waits up to five seconds for `modem` to have received `n` requests.
bool received(const process::Simulator& modem, size_t n);

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

// start_modem() with "--table-out <stored>" before `args`: the modem writes
// the table it ends up holding into that file.
std::unique_ptr<process::Simulator> start_modem_storing(const process::TempFile& stored,
                                                        std::vector<std::string> args = {});

}  // namespace e2e

#endif  // TESSEL_TESTS_E2E_E2E_H_

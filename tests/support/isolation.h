// isolation.h — whether a test may reach the proxy's names, and how the tests
// that may not are counted.
//
// The tool looks for a process named mbim-proxy and talks to the abstract
// socket "mbim-proxy"; its socket-file road is the fixed path
// /var/volatile/mbim-proxy. Tests that reach those run through isolated.sh,
// which gives them namespaces of their own and says so in TESSEL_ISOLATED.
//
// Where that is impossible (no root, no namespaces) such a test skips with
// GTEST_SKIP() and its reason. isolation.cpp is linked into every test
// binary: when the binary ends with tests skipped and none failed, it writes
// to the file named by TESSEL_SKIP_REPORT (set by isolated.sh)
//   tessel-tests: skipped <n> of <m> tests, none failed
//   tessel-tests:   <k> because: <reason>          (one line per reason)
// and isolated.sh prints that once the binary has exited with status 0, so
// ctest counts the binary as skipped (SKIP_REGULAR_EXPRESSION) and never
// hides a failure, a leak report or a crash behind a skip.
#ifndef TESSEL_TESTS_ISOLATION_H_
#define TESSEL_TESTS_ISOLATION_H_

namespace process {

// True inside isolated.sh's namespaces: own process list, own abstract socket
// names, own tmpfs on /var/volatile.
bool isolated();

// The skip message of a test that needs isolated().
constexpr char kNotIsolated[] =
    "needs private net/pid/mount namespaces (the process list, the abstract socket "
    "\"mbim-proxy\" and /var/volatile): run it through tests/support/isolated.sh as root, "
    "as ctest does";

// A process whose name holds "mbim-proxy" shows in `ps -eT`: the tool would
// talk to it instead of a simulator on a pty.
bool proxy_visible();

}  // namespace process

#endif  // TESSEL_TESTS_ISOLATION_H_

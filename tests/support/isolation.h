// isolation.h — whether a test may reach the proxy's names.
//
// The tool looks for a process named mbim-proxy and talks to the abstract
// socket "mbim-proxy"; its socket-file road is the fixed path
// /var/volatile/mbim-proxy. Tests that reach those run through isolated.sh,
// which gives them namespaces of their own and says so in TESSEL_ISOLATED.
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

// stop_request.cpp — see stop_request.h.
#include "mbim_commands/stop_request.h"

#include <atomic>

namespace tessel {
namespace {

// Lock-free, so a signal handler may store into it.
std::atomic<int> g_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler stores into it");

}  // namespace

void request_stop(int signal) {
  int none = 0;
  g_signal.compare_exchange_strong(none, signal);
}

int stop_requested() { return g_signal.load(); }

}  // namespace tessel

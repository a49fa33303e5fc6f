// stop_signal.cpp — the self-pipe behind SIGTERM and SIGINT.
#include "modem_sim/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace tessel::sim {
namespace {

// Both ends live for the whole process: the handler may run at any moment.
int g_stop_read = -1;
int g_stop_write = -1;
int g_unplug_read = -1;
int g_unplug_write = -1;

void poke(int fd) {
  const int saved = errno;
  const char byte = 's';
  ssize_t ignored = ::write(fd, &byte, 1);
  (void)ignored;  // a full pipe already says it
  errno = saved;
}

void on_stop_signal(int) { poke(g_stop_write); }
void on_unplug_signal(int) { poke(g_unplug_write); }

// Opens a self-pipe into `*read_end` and `*write_end`, then makes `handler`
// (which pokes the write end) the action of `first` and, unless 0, `second`.
// Without SA_RESTART, so the signal also wakes a wait that is under way.
int install_self_pipe(int* read_end, int* write_end, void (*handler)(int), int first,
                      int second = 0) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return -1;
  *read_end = ends[0];
  *write_end = ends[1];
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  if (sigaction(first, &action, nullptr) != 0) return -1;
  return second == 0 ? 0 : sigaction(second, &action, nullptr);
}

}  // namespace

int64_t monotonic_ms() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int install_stop_signals() {
  if (install_self_pipe(&g_stop_read, &g_stop_write, on_stop_signal, SIGTERM, SIGINT) != 0) {
    return -1;
  }
  signal(SIGPIPE, SIG_IGN);
  return 0;
}

int stop_fd() { return g_stop_read; }

bool sleep_unless_stopped(uint32_t ms) {
  const int64_t deadline = monotonic_ms() + ms;
  for (;;) {
    const int64_t left = deadline - monotonic_ms();
    if (left <= 0) return true;
    pollfd stop{g_stop_read, POLLIN, 0};
    int r = ::poll(&stop, 1, static_cast<int>(left > 0x7FFFFFFF ? 0x7FFFFFFF : left));
    if (r > 0) return false;
    if (r < 0 && errno != EINTR) return true;
  }
}

int install_unplug_signal() {
  return install_self_pipe(&g_unplug_read, &g_unplug_write, on_unplug_signal, SIGUSR1);
}

int unplug_fd() { return g_unplug_read; }

void clear_unplug_request() {
  if (g_unplug_read < 0) return;
  char scratch[64];
  while (::read(g_unplug_read, scratch, sizeof scratch) > 0) {
  }
}

}  // namespace tessel::sim

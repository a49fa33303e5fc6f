// stop_signals.cpp — see stop_signals.h.
#include "main/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <cstdio>

#include "api/service_api.h"

namespace tessel {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

void on_stop_signal(int signal) { RequestStop(signal); }

}  // namespace

void install_stop_signals() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, nullptr);
  struct sigaction note {};
  note.sa_handler = on_stop_signal;
  sigemptyset(&note.sa_mask);
  // Restarted: a file read or the process-list pipe must not fail on EINTR.
  note.sa_flags = SA_RESTART;
  for (int s : kStopSignals) {
    // A signal the caller ignored (nohup, a shell's trap '' HUP) was meant
    // not to stop the run, and stays ignored.
    struct sigaction was {};
    if (sigaction(s, nullptr, &was) == 0 && was.sa_handler == SIG_IGN) continue;
    sigaction(s, &note, nullptr);
  }
}

void end_if_stopped() {
  const int s = StopSignal();
  if (s == 0) return;
  std::fflush(stdout);
  std::fflush(stderr);
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(s, &fallback, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, s);
  pthread_sigmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(s);
  _exit(128 + s);  // only when the signal could not end the process
}

}  // namespace tessel

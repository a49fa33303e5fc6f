// stop_signal.h — SIGTERM and SIGINT as a readable descriptor, and, for the
// USB device, SIGUSR1 (unplug) as another.
//
// The handlers only write one byte into a pipe; every wait of the simulator
// (poll for a client, for a request, or a --delay) also watches that pipe,
// so a stop is seen at once, whatever the simulator is waiting for.
#ifndef TESSEL_TOOLS_MODEM_SIM_STOP_SIGNAL_H_
#define TESSEL_TOOLS_MODEM_SIM_STOP_SIGNAL_H_

#include <cstdint>

namespace tessel::sim {

// Creates the pipe, installs the handlers (without SA_RESTART) and ignores
// SIGPIPE, so a client that left makes write() fail instead of killing the
// simulator. Returns 0 or -1.
int install_stop_signals();

// The pipe's read end: readable once a stop signal has arrived.
int stop_fd();

// Milliseconds on the monotonic clock: what every wait here measures against.
int64_t monotonic_ms();

// Waits `ms` milliseconds. Returns false when a stop signal arrives first.
bool sleep_unless_stopped(uint32_t ms);

// Makes SIGUSR1 readable on unplug_fd() instead of ending the process. Only
// the USB device installs it: elsewhere SIGUSR1 keeps its default action.
// Returns 0 or -1.
int install_unplug_signal();

// Readable once SIGUSR1 has arrived; -1 (which poll ignores) when not installed.
int unplug_fd();

// Empties the unplug pipe, so that one signal makes one unplug.
void clear_unplug_request();

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_STOP_SIGNAL_H_

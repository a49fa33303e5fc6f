// usbip_plug.cpp — plug, serve, unplug, re-plug.
#include "modem_sim/usbip_plug.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "modem_sim/fd_guard.h"
#include "modem_sim/notes.h"
#include "modem_sim/server.h"
#include "modem_sim/stop_signal.h"
#include "modem_sim/usb_mbim_function.h"
#include "modem_sim/usbip_device.h"
#include "modem_sim/vhci_attach.h"

namespace tessel::sim {
namespace {

// The devid the kernel puts in its commands: (bus << 16) | device on the
// exporting side; here bus 1, and a new device number for every plug.
constexpr uint32_t kDevidBus = 1u << 16;

const char* end_text(UsbEnd end) {
  switch (end) {
    case UsbEnd::kHostGone: return "the kernel dropped the connection";
    case UsbEnd::kUnplugged: return "unplugged";
    case UsbEnd::kStopRequested: return "stop signal";
    case UsbEnd::kStdinClosed: return "stdin ended";
  }
  return "";
}

// Waits `ms` milliseconds before a re-plug. False when the simulator is to
// end first: a stop signal, or stdin's end under --exit-on-stdin-eof.
bool wait_before_replug(uint32_t ms, bool watch_stdin) {
  const int64_t deadline = monotonic_ms() + ms;
  for (;;) {
    const int64_t left = deadline - monotonic_ms();
    if (left <= 0) return true;
    std::array<pollfd, 2> fds = {pollfd{stop_fd(), POLLIN, 0},
                                 pollfd{watch_stdin ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(left));
    if (ready < 0 && errno != EINTR) return true;
    if (ready <= 0) continue;
    if (fds[0].revents != 0) return false;
    if (fds[1].revents != 0 && stdin_ended()) return false;
  }
}

}  // namespace

int run_usbip(ServerContext* ctx) {
  if (install_unplug_signal() != 0) {
    note("cannot set up SIGUSR1: %s", std::strerror(errno));
    return kExitSetupFailed;
  }
  const Options& options = *ctx->options;
  uint32_t replugs = 0;
  for (uint32_t plug = 1;; ++plug) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
      note("cannot make a socket pair: %s", std::strerror(errno));
      return kExitSetupFailed;
    }
    FdGuard ours(ends[0]);
    FdGuard kernel(ends[1]);
    // A SIGUSR1 while unplugged has nothing to unplug.
    clear_unplug_request();
    VhciPlug plugged;
    if (vhci_attach(kernel.get(), kDevidBus | plug, &plugged) != 0) return kExitSetupFailed;
    kernel.reset();  // the kernel holds its own reference
    std::printf("READY %s port %u\n", plugged.busid.c_str(), plugged.port);
    std::fflush(stdout);
    // Set-up failures above are always reported; --quiet silences the rest.
    if (options.quiet) silence_notes();
    if (plug > 1) {
      note("plugged in again as %s (vhci port %u)", plugged.busid.c_str(), plugged.port);
    }

    UsbipDevice device(ctx);
    const UsbEnd end = device.serve(ours.get());
    ours.reset();  // the unplug the kernel sees
    note("%s: %s off vhci port %u", end_text(end), plugged.busid.c_str(), plugged.port);
    if (!vhci_wait_port_free(plugged.port, kPortFreeTimeoutMs)) {
      note("vhci port %u still not free %d ms after the unplug", plugged.port, kPortFreeTimeoutMs);
    }
    if (end == UsbEnd::kStopRequested || end == UsbEnd::kStdinClosed) return kExitOk;
    if (!options.replug) {
      note("no --replug-after: exiting");
      return kExitOk;
    }
    if (replugs == kMaxReplugs) {
      note("%u re-plugs done, the most there are: exiting", replugs);
      return kExitOk;
    }
    ++replugs;
    if (!wait_before_replug(options.replug_after_ms, options.exit_on_stdin_eof)) return kExitOk;
    reset_function(ctx->state);
  }
}

}  // namespace tessel::sim

// server.cpp — sets everything up, prints READY and runs the accept loop.
#include "modem_sim/server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "modem_sim/connection.h"
#include "modem_sim/endpoint.h"
#include "modem_sim/knobs.h"
#include "modem_sim/notes.h"
#include "modem_sim/services.h"
#include "modem_sim/sim_state.h"
#include "modem_sim/stop_signal.h"
#include "modem_sim/usbip_plug.h"
#include "modem_sim/wire_log.h"

namespace tessel::sim {
namespace {

const char* end_text(ConnectionEnd end) {
  switch (end) {
    case ConnectionEnd::kPeerClosed: return "client closed the connection";
    case ConnectionEnd::kHungUp: return "hung up on the client";
    case ConnectionEnd::kStopRequested: return "stop signal";
    case ConnectionEnd::kStdinClosed: return "stdin ended";
  }
  return "";
}

// The pty is one connection for the whole run: the tool's open and close of
// the slave are invisible from the master.
int serve_pty(Endpoint* endpoint, ServerContext* ctx) {
  ConnectionEnd end = serve_connection(endpoint->pty_master(), ctx);
  note("pty: %s", end_text(end));
  if (end == ConnectionEnd::kHungUp) {
    endpoint->hang_up_pty();
    note("pty closed; exiting");
  } else if (end == ConnectionEnd::kPeerClosed) {
    note("pty master failed; exiting");
  }
  return kExitOk;
}

int serve_sockets(const Endpoint& endpoint, ServerContext* ctx) {
  const bool watch_stdin = ctx->options->exit_on_stdin_eof;
  for (;;) {
    std::array<pollfd, 3> fds = {pollfd{endpoint.listener(), POLLIN, 0},
                                 pollfd{stop_fd(), POLLIN, 0},
                                 pollfd{watch_stdin ? STDIN_FILENO : -1, POLLIN, 0}};
    int ready = ::poll(fds.data(), fds.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      note("poll failed: %s", std::strerror(errno));
      return kExitSetupFailed;
    }
    if (fds[1].revents != 0) return kExitOk;
    if (fds[2].revents != 0 && stdin_ended()) return kExitOk;
    if (fds[0].revents == 0) continue;
    FdGuard client(::accept4(endpoint.listener(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!client.valid()) {
      if (errno != EINTR && errno != ECONNABORTED) note("accept failed: %s", std::strerror(errno));
      continue;
    }
    note("client connected");
    ConnectionEnd end = serve_connection(client.get(), ctx);
    note("connection ended: %s", end_text(end));
    if (end == ConnectionEnd::kStopRequested || end == ConnectionEnd::kStdinClosed) return kExitOk;
  }
}

}  // namespace

int run_server(const Options& options) {
  if (install_stop_signals() != 0) {
    note("cannot set up the signal handlers: %s", std::strerror(errno));
    return kExitSetupFailed;
  }
  WireLog log;
  if (log.open(options.log_path) != 0) return kExitSetupFailed;
  SimState state(options);
  if (preload_table(&state) != 0) return kExitSetupFailed;
  Knobs knobs(options);
  if (options.mode == ServeMode::kUsbip) {
    ServerContext ctx{&options, &state, &knobs, &log, std::mt19937(options.seed), false};
    return run_usbip(&ctx);
  }
  Endpoint endpoint;
  if (endpoint.open(options) != 0) return kExitSetupFailed;

  ServerContext ctx{&options, &state, &knobs, &log, std::mt19937(options.seed),
                    !endpoint.is_pty()};
  std::printf("READY %s\n", endpoint.ready_path().c_str());
  std::fflush(stdout);
  // Set-up failures above are always reported; --quiet silences the rest.
  if (options.quiet) silence_notes();
  return endpoint.is_pty() ? serve_pty(&endpoint, &ctx) : serve_sockets(endpoint, &ctx);
}

}  // namespace tessel::sim

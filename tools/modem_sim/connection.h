// connection.h — serving one client: read requests, answer each, until the
// client leaves, the simulator is stopped, or --hangup-at strikes.
#ifndef TESSEL_TOOLS_MODEM_SIM_CONNECTION_H_
#define TESSEL_TOOLS_MODEM_SIM_CONNECTION_H_

#include <random>

#include "modem_sim/knobs.h"
#include "modem_sim/options.h"
#include "modem_sim/sim_state.h"
#include "modem_sim/wire_log.h"

namespace tessel::sim {

// What lives across connections.
struct ServerContext {
  const Options* options;
  SimState* state;
  Knobs* knobs;
  WireLog* log;
  std::mt19937 random;  // seeded with --seed
  bool byte_stream;     // sockets: a byte stream; a pty: one transfer per read
};

enum class ConnectionEnd {
  kPeerClosed,     // end of stream, or a write or read the peer broke
  kHungUp,         // --hangup-at: the caller closes the connection
  kStopRequested,  // SIGTERM/SIGINT
  kStdinClosed,    // --exit-on-stdin-eof and stdin ended
};

// Serves the client on `fd` (a connected socket or the pty master) until one
// of the ends above. `fd` stays open; the caller closes it.
ConnectionEnd serve_connection(int fd, ServerContext* context);

// Consumes what stdin has to say. Returns true when it has ended (EOF,
// hang-up or error), false when it only had data to throw away.
bool stdin_ended();

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_CONNECTION_H_

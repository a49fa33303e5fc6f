// modem_gone.cpp — see modem_gone.h.
#include "transport/modem_gone.h"

#include <poll.h>

#include <cerrno>
#include <cstring>

#include "diag_log/diag_log.h"
#include "transport/transport_log.h"

TESSEL_LOG_MODULE(::tessel::kTransportLogFile);

namespace tessel {
namespace {

// True the first time it is asked on a node channel: the sockets of the
// proxy are not the modem, and a second sign of the same loss says nothing new.
bool first_sign(TransportContext& c) {
  if (c.stream || c.gone_reported) return false;
  c.gone_reported = true;
  return true;
}

}  // namespace

void note_gone_events(TransportContext& c, short revents) {
  const bool error = (revents & POLLERR) != 0;
  const bool hangup = (revents & POLLHUP) != 0;
  if ((!error && !hangup) || !first_sign(c)) return;
  const char* events = error && hangup ? "POLLERR|POLLHUP" : error ? "POLLERR" : "POLLHUP";
  LOG_TXT(LOG_ERROR, "[tessel] the modem is gone (unplugged?): poll on the node reported %s",
          events);
}

bool note_gone_errno(TransportContext& c, const char* call, int error) {
  if (error != ENODEV) return false;
  if (first_sign(c)) {
    LOG_TXT(LOG_ERROR, "[tessel] the modem is gone (unplugged?): %s on the node failed: %s", call,
            std::strerror(error));
  }
  return true;
}

}  // namespace tessel

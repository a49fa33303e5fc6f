// wire_log.h — the --log file: every message received and sent, byte for
// byte, one line each, so tests can check requests exactly.
//
//   RX <hex>    one message received (a whole MBIM message, reassembled)
//   TX <hex>    one message sent: a reply or an injected message
//   DROP <hex>  bytes thrown away: an impossible MessageLength, or a client
//               that left in the middle of a message
//
// Hex is lower case without separators. Each line goes out in one write() on
// a descriptor opened for appending, so a reader never sees half a line.
#ifndef TESSEL_TOOLS_MODEM_SIM_WIRE_LOG_H_
#define TESSEL_TOOLS_MODEM_SIM_WIRE_LOG_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "modem_sim/fd_guard.h"

namespace tessel::sim {

class WireLog {
 public:
  // Opens `path` for appending; an empty path means no log. Returns 0 or -1
  // (with a note saying why).
  int open(const std::string& path);

  void rx(const uint8_t* bytes, size_t length) { line("RX ", bytes, length); }
  void tx(const uint8_t* bytes, size_t length) { line("TX ", bytes, length); }
  void drop(const uint8_t* bytes, size_t length) { line("DROP ", bytes, length); }

 private:
  void line(const char* tag, const uint8_t* bytes, size_t length);

  FdGuard fd_;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_WIRE_LOG_H_

// endpoint.h — where the modem can be reached: a pty pair, the abstract UNIX
// socket "mbim-proxy", or a UNIX socket file.
#ifndef TESSEL_TOOLS_MODEM_SIM_ENDPOINT_H_
#define TESSEL_TOOLS_MODEM_SIM_ENDPOINT_H_

#include <sys/types.h>

#include <string>

#include "modem_sim/fd_guard.h"
#include "modem_sim/options.h"

namespace tessel::sim {

class Endpoint {
 public:
  Endpoint() = default;
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  // Removes the socket file this endpoint created, if it is still there.
  ~Endpoint();

  // Sets up the endpoint that `options.mode` names. Returns 0, or -1 with a
  // note saying why.
  //   pty: master and slave open, slave raw (VMIN 1, VTIME 0); the slave
  //     stays open here so the tool's open and close of it never hang the
  //     line up and its settings persist.
  //   abstract: listening on "\0mbim-proxy" (address length 13), and the
  //     process renamed mbim-proxy so the tool's process-list check finds it.
  //   socket: listening on the file; a stale socket there is replaced, any
  //     other kind of file is left alone and refused.
  int open(const Options& options);

  // The text after "READY ": the slave path, "@mbim-proxy" or the socket path.
  const std::string& ready_path() const { return ready_path_; }

  bool is_pty() const { return master_.valid(); }
  int pty_master() const { return master_.get(); }
  int listener() const { return listener_.get(); }

  // Closes the pty master and slave: whoever has the slave open sees a hang-up.
  void hang_up_pty();

 private:
  int open_pty();
  int open_abstract();
  int open_socket_file(const std::string& path);

  FdGuard listener_;
  FdGuard master_;
  FdGuard slave_;
  std::string ready_path_;
  std::string socket_file_;  // created by us, removed by the destructor
  dev_t socket_device_ = 0;
  ino_t socket_inode_ = 0;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_ENDPOINT_H_

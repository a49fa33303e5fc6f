// endpoint.cpp — opening the pty pair or the listening UNIX sockets.
#include "modem_sim/endpoint.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "modem_sim/notes.h"

namespace tessel::sim {
namespace {

// The libmbim proxy's abstract name, and the process name its users look for.
constexpr char kProxyName[] = "mbim-proxy";
constexpr size_t kProxyNameLength = sizeof(kProxyName) - 1;  // 10, no terminator
constexpr int kBacklog = 8;

}  // namespace

Endpoint::~Endpoint() {
  if (socket_file_.empty()) return;
  // Only remove what is still our own socket: someone may have replaced it.
  struct stat st {};
  if (::lstat(socket_file_.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) &&
      st.st_dev == socket_device_ && st.st_ino == socket_inode_) {
    ::unlink(socket_file_.c_str());
  }
}

int Endpoint::open(const Options& options) {
  switch (options.mode) {
    case ServeMode::kPty: return open_pty();
    case ServeMode::kAbstract: return open_abstract();
    case ServeMode::kSocket: return open_socket_file(options.socket_path);
    case ServeMode::kUsbip:
    case ServeMode::kNone: break;
  }
  note("no endpoint to open for this serving mode");
  return -1;
}

int Endpoint::open_pty() {
  master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!master_.valid() || ::grantpt(master_.get()) != 0 || ::unlockpt(master_.get()) != 0) {
    note("cannot open a pty pair: %s", std::strerror(errno));
    return -1;
  }
  const char* name = ::ptsname(master_.get());
  if (name == nullptr) {
    note("cannot name the pty slave: %s", std::strerror(errno));
    return -1;
  }
  ready_path_ = name;
  slave_.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave_.valid()) {
    note("cannot open the pty slave %s: %s", name, std::strerror(errno));
    return -1;
  }
  // Raw: MBIM bytes pass untouched both ways (no echo, no CR/LF mapping, no
  // signals from 0x03), and a read returns as soon as one byte is there.
  termios tio{};
  if (::tcgetattr(slave_.get(), &tio) != 0) {
    note("cannot read the pty settings: %s", std::strerror(errno));
    return -1;
  }
  ::cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(slave_.get(), TCSANOW, &tio) != 0) {
    note("cannot make the pty raw: %s", std::strerror(errno));
    return -1;
  }
  return 0;
}

int Endpoint::open_abstract() {
  listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener_.valid()) {
    note("cannot create a UNIX socket: %s", std::strerror(errno));
    return -1;
  }
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  addr.sun_path[0] = '\0';
  std::memcpy(addr.sun_path + 1, kProxyName, kProxyNameLength);
  const socklen_t addr_length = offsetof(sockaddr_un, sun_path) + 1 + kProxyNameLength;
  if (::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&addr), addr_length) != 0) {
    note("cannot bind the abstract socket @%s: %s (another proxy or simulator running?)",
         kProxyName, std::strerror(errno));
    return -1;
  }
  if (::listen(listener_.get(), kBacklog) != 0) {
    note("cannot listen on @%s: %s", kProxyName, std::strerror(errno));
    return -1;
  }
  // Only in this mode: elsewhere the name would make the tool believe a proxy runs.
  ::prctl(PR_SET_NAME, kProxyName, 0, 0, 0);
  ready_path_ = std::string("@") + kProxyName;
  return 0;
}

int Endpoint::open_socket_file(const std::string& path) {
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof(addr.sun_path)) {
    note("socket path \"%s\" must have 1 to %zu characters", path.c_str(),
         sizeof(addr.sun_path) - 1);
    return -1;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (!S_ISSOCK(st.st_mode)) {
      note("%s exists and is not a socket; not replacing it", path.c_str());
      return -1;
    }
    ::unlink(path.c_str());  // stale socket of an earlier run
  }
  listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener_.valid()) {
    note("cannot create a UNIX socket: %s", std::strerror(errno));
    return -1;
  }
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.c_str(), path.size());
  const socklen_t addr_length = offsetof(sockaddr_un, sun_path) + path.size() + 1;
  if (::bind(listener_.get(), reinterpret_cast<const sockaddr*>(&addr), addr_length) != 0) {
    note("cannot bind %s: %s", path.c_str(), std::strerror(errno));
    return -1;
  }
  socket_file_ = path;
  if (::lstat(path.c_str(), &st) == 0) {
    socket_device_ = st.st_dev;
    socket_inode_ = st.st_ino;
  }
  if (::listen(listener_.get(), kBacklog) != 0) {
    note("cannot listen on %s: %s", path.c_str(), std::strerror(errno));
    return -1;
  }
  ready_path_ = path;
  return 0;
}

void Endpoint::hang_up_pty() {
  master_.reset();
  slave_.reset();
}

}  // namespace tessel::sim

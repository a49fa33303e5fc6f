// connect.cpp — setting up, opening and tearing down the MBIM channel.
//
// The proxy daemon owns the modem when it runs, so the tool talks to it
// rather than to the device node: through its socket file when the caller
// names that file, through its abstract socket when the process list shows
// the daemon. Otherwise the tool opens the device node itself.
//
// What the tool trusts on each road:
//  - the abstract socket's name can be bound by any local user, so the peer
//    must run as root or as the tool's own user (SO_PEERCRED); anyone else
//    could read the AT commands (a SIM PIN) and answer "up to date";
//  - the device node must be a character device: a regular file or FIFO
//    given by mistake would take the requests, and a file's bytes are lost;
//  - whatever the node holds when it is opened was sent to an earlier run
//    and is read and dropped before the reader starts.
#include <fcntl.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include "diag_log/diag_log.h"
#include "diag_log/operator_line.h"
#include "transport/context.h"
#include "transport/transport.h"
#include "transport/transport_log.h"

TESSEL_LOG_MODULE(::tessel::kTransportLogFile);

namespace tessel {

namespace {
// One context for the process, set up before main runs: every member has a
// constant initial value, so the compiler lays it out in the data segment.
TransportContext g_context;
}  // namespace

TransportContext& transport_context() { return g_context; }

namespace {

constexpr size_t kProxySocketFileLength = sizeof(kProxySocketFile) - 1;  // 24
constexpr size_t kProxyAbstractLength = sizeof(kProxyAbstractName) - 1;  // 10
constexpr size_t kDetectBufferSize = 128;

void set_nonblocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// What became of an attempt to open the channel on one road.
enum class Attempt {
  kOpen,      // the channel is open and the reader runs
  kFallBack,  // the proxy cannot serve: open the device node instead
  kFail,      // the channel cannot be opened: ctx_connect fails
};

// Stores the channel and starts the reader on it; kFail when the thread
// cannot be started (the channel stays open for ctx_deinit to close).
Attempt start_reader(TransportContext& c, int fd, bool stream, Road road, bool report) {
  c.mbim_fd = fd;
  c.stream = stream;
  c.road = road;
  c.reader_ended = false;
  c.gone_reported = false;
  if (pthread_create(&c.reader, nullptr, mbim_read_thread, nullptr) != 0) {
    c.reader_started = false;
    if (report) std::perror("pthread_create");
    return Attempt::kFail;
  }
  c.reader_started = true;
  return Attempt::kOpen;
}

Status connect_result(Attempt a) { return a == Attempt::kOpen ? Code::kOk : Code::kNoChannel; }

// What the process list says of the proxy daemon.
enum class Listed {
  kYes,      // its first bytes name mbim-proxy
  kNo,       // the check ran and found none
  kUnknown,  // the check could not run (no descriptor, process or pipe left)
};

// The check is a shell pipeline; grep ends it with 1 when no line names the
// daemon. Any other end but a match means the list was never read, and
// reading that as "no proxy" would open the node behind a running proxy's
// back, two masters on one modem.
Listed proxy_listed() {
  FILE* ps = popen(kProxyDetectCommand, "r");
  if (ps == nullptr) {
    const int e = errno;
    LOG_TXT(LOG_ERROR, "[tessel] cannot run '%s' (%s)", kProxyDetectCommand, std::strerror(e));
    return Listed::kUnknown;
  }
  std::array<char, kDetectBufferSize + 1> buff{};  // one more for the terminator
  const size_t n = std::fread(buff.data(), 1, kDetectBufferSize, ps);
  const int status = pclose(ps);
  LOG_TXT(LOG_NORMAL, "[tessel] fread buff:%s", buff.data());
  // A match may end grep by SIGPIPE once the first bytes were read: the
  // match alone counts then.
  if (memmem(buff.data(), n, kProxyAbstractName, kProxyAbstractLength) != nullptr) return Listed::kYes;
  if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) <= 1) return Listed::kNo;
  LOG_TXT(LOG_ERROR, "[tessel] '%s' did not run to its end (status %d)", kProxyDetectCommand, status);
  return Listed::kUnknown;
}

// True when the peer of `fd` runs as root or as this process's user.
bool peer_trusted(int fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred) {
    const int e = errno;
    LOG_TXT(LOG_ERROR, "[tessel] cannot tell who serves '%s' (errno %d); not using it",
            kProxyAbstractName, e);
    return false;
  }
  if (cred.uid == 0 || cred.uid == geteuid()) return true;
  LOG_NUM(LOG_ERROR, "[tessel] mbim-proxy socket is served by uid %u (pid %d), neither root nor this user; not using it",
          static_cast<uint32_t>(cred.uid), static_cast<int32_t>(cred.pid));
  return false;
}

// The proxy through its socket file (`road` kSocketFile) or its abstract
// socket (kAbstractSocket). A caller that named the socket file meant the
// proxy and nothing else, so on that road every failure is final (with the
// record of the missing channel); the abstract socket is only a guess from
// the process list, so there a failure falls back to the device node.
Attempt connect_proxy(TransportContext& c, Road road) {
  const bool file = road == Road::kSocketFile;
  const char* name = file ? kProxySocketFile : kProxyAbstractName;
  const auto failed = [file] {
    if (!file) return Attempt::kFallBack;
    LOG_NUM(LOG_ERROR, "[tessel] return error mbim_fd = %d", -1);
    return Attempt::kFail;
  };
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return failed();
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  // An abstract name follows a zero byte and has no terminator of its own.
  const size_t start = file ? 0 : 1;
  const size_t length = file ? kProxySocketFileLength : kProxyAbstractLength;
  std::memcpy(addr.sun_path + start, name, length);
  if (file) LOG_TXT(LOG_NORMAL, "[tessel] addr.sun_path:%s", addr.sun_path);
  const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + start + length);
  if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0) {
    const int e = errno;
    LOG_TXT(LOG_NORMAL, "[tessel] Fail to connect '%s', errno (%s)", name, std::strerror(e));
    LOG_NUM(LOG_ERROR, "[tessel] Error number:%d", e);
    close(fd);
    return failed();
  }
  // Anyone may bind the abstract name (see the top).
  if (!file && !peer_trusted(fd)) {
    close(fd);
    return Attempt::kFallBack;
  }
  set_nonblocking(fd);
  if (file) {
    LOG_TXT(LOG_NORMAL, "[tessel] connet %s", name);
  } else {
    LOG_TXT(LOG_NORMAL, "[tessel] connet sunccess ('%s')", name);
  }
  // Through the abstract socket a failed thread start prints nothing.
  return start_reader(c, fd, /*stream=*/true, road, /*report=*/file);
}

// Reads and drops what the node holds before this run asks anything: an
// answer to an earlier run that gave up on it would otherwise be taken for
// this run's first answer. A node that never runs dry (garbage) is left to
// the reader's own bound after kMaxStaleBytes.
void drop_stale_bytes(int fd) {
  constexpr size_t kMaxStaleBytes = 65536;
  std::array<uint8_t, 4096> sink;
  size_t dropped = 0;
  while (dropped < kMaxStaleBytes) {
    const ssize_t n = read(fd, sink.data(), sink.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    dropped += static_cast<size_t>(n);
  }
  if (dropped > 0) LOG_NUM(LOG_NORMAL, "[tessel] dropped %u stale bytes waiting on the node", dropped);
}

Attempt open_device_node(TransportContext& c, const char* path) {
  LOG_TXT(LOG_NORMAL, "[tessel] use %s directly", path);
  // Non-blocking: every read follows a poll, and a message another reader
  // of the node took must leave the reader polling (and so stoppable), not
  // asleep in read(). No controlling terminal: a pty's hang-up must not
  // reach the tool as SIGHUP.
  const int fd = open(path, O_RDWR | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    std::perror(path);
    return Attempt::kFail;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
    std::fprintf(stderr, "%s: Not a character device\n", path);
    close(fd);
    return Attempt::kFail;
  }
  drop_stale_bytes(fd);
  return start_reader(c, fd, /*stream=*/false, Road::kDeviceNode, /*report=*/true);
}

}  // namespace

Status ctx_init(int verbose) {
  TransportContext& c = transport_context();
  if (c.stop_read != -1) return Code::kOk;
  int fds[2];
  if (pipe(fds) != 0) return Status::system(Code::kNoChannel, errno);
  set_nonblocking(fds[0]);
  set_nonblocking(fds[1]);
  c.stop_read = fds[0];
  c.stop_write = fds[1];
  c.verbose = verbose;
  pthread_mutex_init(&c.lock, nullptr);
  pthread_condattr_init(&c.cond_attr);
  pthread_condattr_setclock(&c.cond_attr, CLOCK_MONOTONIC);
  pthread_cond_init(&c.cond, &c.cond_attr);
  return Code::kOk;
}

Status ctx_connect(const char* path) {
  TransportContext& c = transport_context();
  if (path == nullptr || access(path, F_OK) != 0) {
    LOG_TXT(LOG_NORMAL, "[tessel] fail to access %s", path != nullptr ? path : "(null)");
    return Code::kNoChannel;
  }
  if (c.stop_read == -1) {
    LOG_MSG(LOG_ERROR, "[tessel]  pipe invaild");
    return Code::kNoChannel;
  }
  if (c.mbim_fd != -1) return Code::kOk;
  if (std::strncmp(path, kProxySocketFile, kProxySocketFileLength) == 0) {
    return connect_result(connect_proxy(c, Road::kSocketFile));
  }
  switch (proxy_listed()) {
    case Listed::kYes: {
      LOG_MSG(LOG_NORMAL, "[tessel] use mbim-proxy\n\n");
      const Attempt a = connect_proxy(c, Road::kAbstractSocket);
      if (a != Attempt::kFallBack) return connect_result(a);
      break;
    }
    case Listed::kUnknown:
      LOG_TXT(LOG_ERROR, "[tessel] cannot tell whether mbim-proxy serves the modem; not opening %s behind its back",
              path);
      operator_line(LinePriority::kError,
                    "tessel: cannot read the process list to look for mbim-proxy: not opening %s\n", path);
      return Code::kNoChannel;
    case Listed::kNo: break;
  }
  return connect_result(open_device_node(c, path));
}

Status ctx_adopt_channel(int fd, bool stream) {
  TransportContext& c = transport_context();
  if (c.stop_read == -1 || c.mbim_fd != -1 || fd < 0) return Code::kNoChannel;
  return connect_result(start_reader(c, fd, stream, Road::kNone, /*report=*/true));
}

Road ctx_road() { return transport_context().road; }

bool ctx_request_unanswered() { return transport_context().unanswered; }

void ctx_deinit() {
  TransportContext& c = transport_context();
  if (c.stop_read == -1) return;
  if (c.reader_started) {
    const char stop = 'q';
    if (write(c.stop_write, &stop, 1) != 1) LOG_MSG(LOG_ERROR, "[tessel] fail to write");
    pthread_join(c.reader, nullptr);
    c.reader_started = false;
  }
  if (c.mbim_fd != -1) {
    close(c.mbim_fd);
    c.mbim_fd = -1;
  }
  close(c.stop_read);
  c.stop_read = -1;
  if (c.stop_write != -1) {
    close(c.stop_write);
    c.stop_write = -1;
  }
  c.road = Road::kNone;
  c.unanswered = false;
  // Nothing else uses them once the reader has been joined; destroying them
  // lets a later ctx_init set them up afresh.
  pthread_cond_destroy(&c.cond);
  pthread_condattr_destroy(&c.cond_attr);
  pthread_mutex_destroy(&c.lock);
}

}  // namespace tessel

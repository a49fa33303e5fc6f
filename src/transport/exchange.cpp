// exchange.cpp — one request written, one wait for its response.
//
// The sender holds the transport lock from before it dumps the request until
// the exchange ends, except inside the condition wait. It records the
// pending request and writes it under the lock, so the reader, which needs
// the lock to match, cannot deliver a response before the sender waits.
// The wait ends when a response is delivered, when the reader has ended (no
// response can come any more), or at the deadline; a wake-up that brings
// none of these waits on. A wait that lasts tells the operator once
// (wait_notice.h).
#include "transport/exchange.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "diag_log/diag_log.h"
#include "transport/context.h"
#include "transport/deadline.h"
#include "transport/modem_gone.h"
#include "transport/transport_log.h"
#include "transport/wait_notice.h"
#include "mbim_dump/dump_message.h"
#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE(::tessel::kTransportLogFile);

namespace tessel {
namespace {

// Milliseconds from now until `deadline`, 0 once it has passed.
int ms_until(const timespec& deadline) {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const int64_t ms = (int64_t{deadline.tv_sec} - now.tv_sec) * 1000 +
                     (deadline.tv_nsec - now.tv_nsec) / 1000000;
  if (ms <= 0) return 0;
  return ms > INT32_MAX ? INT32_MAX : static_cast<int>(ms);
}

// Waits up to `wait_ms` for the channel to take a write; false when poll
// says it never will (an error or a hang-up: an unplugged node keeps
// reporting both at once, and writing again would spin until the deadline).
bool wait_writable(int fd, int wait_ms) {
  pollfd p = {fd, POLLOUT, 0};
  return poll(&p, 1, wait_ms) <= 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

// Writes the request. The channel is non-blocking: a node still busy with
// an earlier write (or a full socket buffer) answers EAGAIN, and the write
// waits for it with poll until `deadline` instead of failing. On a stream
// a partial write goes on with the rest; on the node one write is one
// transfer (cdc-wdm cuts it at 4096 bytes and says so), so a short one fails
// rather than send the rest as a message of its own. On the socket roads a
// peer that hung up must fail the write, not raise SIGPIPE and end the process.
// Returns the bytes written, or the last write's own result (-1) when none
// were, with its errno in `*error`. A channel still busy at the deadline has
// not taken the request: that is a failed write, never a timeout, since the
// modem cannot have seen it. Called with the transport lock held.
ssize_t write_request(TransportContext& c, const uint8_t* msg, uint32_t length,
                      const timespec& deadline, int* error) {
  size_t done = 0;
  for (;;) {
    const ssize_t n = c.stream ? send(c.mbim_fd, msg + done, length - done, MSG_NOSIGNAL)
                               : write(c.mbim_fd, msg + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int wait_ms = ms_until(deadline);
      if (wait_ms > 0 && wait_writable(c.mbim_fd, wait_ms)) continue;
    }
    if (n < 0) {
      *error = errno;
      note_gone_errno(c, "write", *error);
    }
    if (n <= 0) return done > 0 ? static_cast<ssize_t>(done) : n;
    done += static_cast<size_t>(n);
    if (done == length || !c.stream) return static_cast<ssize_t>(done);
  }
}

}  // namespace

Status send_and_wait(const uint8_t* request, uint8_t** response, uint32_t timeout_s) {
  TransportContext& c = transport_context();
  if (request == nullptr || c.mbim_fd == -1) return Code::kNoChannel;
  if (response != nullptr) *response = nullptr;

  const uint32_t length = get_le32(request + kMessageLengthOffset);
  Status result;
  pthread_mutex_lock(&c.lock);
  dump_message(request, length, c.verbose);
  c.response = nullptr;
  c.delivered = false;
  c.pending = request;
  LOG_NUM(LOG_NORMAL, "[tessel] MessageLength:%d", length);

  const timespec deadline = deadline_after(timeout_s);
  int write_error = 0;
  const ssize_t written = write_request(c, request, length, deadline, &write_error);
  if (written <= 0 || static_cast<size_t>(written) < length) {
    LOG_NUM(LOG_ERROR, "[tessel] write ret = %d", static_cast<int>(written));
    // A request not written whole is a failure of its own, never a timeout:
    // the apply counts a timeout as success.
    result = Status::system(Code::kWriteFailed, written < 0 ? write_error : 0);
  } else {
    int wait = 0;
    const timespec notice_at = deadline_after(kWaitNoticeSeconds);
    bool notice_due = earlier(notice_at, deadline);
    while (!c.delivered && !c.reader_ended) {
      wait = pthread_cond_timedwait(&c.cond, &c.lock, notice_due ? &notice_at : &deadline);
      if (wait == ETIMEDOUT && notice_due) {
        notice_due = false;
        wait = 0;
        if (!c.delivered && !c.reader_ended) say_still_waiting(request, length, deadline);
        continue;
      }
      if (wait != 0) break;
    }
    // Written whole but not answered: the modem may answer it late.
    if (!c.delivered) c.unanswered = true;
    if (wait != 0) {
      LOG_NUM(LOG_NORMAL, "[tessel] wait ret = %d", wait);
      result = Status::system(Code::kTimedOut, wait);
    } else if (c.response != nullptr && response != nullptr) {
      *response = c.response;
      c.response = nullptr;
    } else {
      // The reader ended, or could not copy the response.
      if (response != nullptr) result = Code::kNoChannel;
    }
  }

  // A copy delivered but not handed over (the deadline passed while the
  // reader delivered, or the caller wanted none) is released here.
  std::free(c.response);
  c.response = nullptr;
  c.delivered = false;
  c.pending = nullptr;
  pthread_mutex_unlock(&c.lock);
  return result;
}

Status send_request(const uint8_t* request, uint8_t** response) {
  return send_and_wait(request, response, kDefaultTimeoutSeconds);
}

Status wait_indication(uint32_t timeout_s) {
  TransportContext& c = transport_context();
  int wait;
  {
    TransportLock lock(c);
    const timespec deadline = deadline_after(timeout_s);
    wait = pthread_cond_timedwait(&c.cond, &c.lock, &deadline);
  }
  if (wait == 0) return Code::kOk;
  LOG_NUM(LOG_ERROR, "[tessel] seconds=%u, retval=%d", timeout_s, wait);
  return Status::system(Code::kTimedOut, wait);
}

}  // namespace tessel

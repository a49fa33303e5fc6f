// exchange.cpp — one request written, one wait for its response.
//
// The sender holds the transport lock from before it dumps the request until
// the exchange ends, except inside the condition wait. It records the
// pending request and writes it under the lock, so the reader, which needs
// the lock to match, cannot deliver a response before the sender waits.
// Whatever wakes the wait ends the exchange: a delivered response, the
// reader's end, or the deadline.
#include "mbim_ctx/exchange.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "diag_log/diag_log.h"
#include "mbim_ctx/context.h"
#include "mbim_ctx/deadline.h"
#include "mbim_dump/dump_message.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/result_codes.h"
#include "mbim_format/wire.h"

TESSEL_LOG_MODULE("src/mbim_ctx");

namespace tessel {
namespace {

// One write of the whole request. On the socket roads a peer that hung up
// must fail the write, not raise SIGPIPE and end the process.
ssize_t write_request(const TransportContext& c, const uint8_t* msg, uint32_t length) {
  if (c.stream) return send(c.mbim_fd, msg, length, MSG_NOSIGNAL);
  return write(c.mbim_fd, msg, length);
}

}  // namespace

int send_and_wait(const uint8_t* request, uint8_t** response, uint32_t timeout_s) {
  TransportContext& c = transport_context();
  if (request == nullptr || c.mbim_fd == -1) return kErrNoChannel;
  if (response != nullptr) *response = nullptr;

  const uint32_t length = get_le32(request + kMessageLengthOffset);
  int result = 0;
  pthread_mutex_lock(&c.lock);
  dump_message(request, length, c.verbose);
  c.response = nullptr;
  c.pending = request;
  LOG_NUM(LOG_NORMAL, "[tessel] MessageLength:%d", length);

  const ssize_t written = write_request(c, request, length);
  if (written <= 0 || static_cast<size_t>(written) < length) {
    LOG_NUM(LOG_ERROR, "[tessel] write ret = %d", static_cast<int>(written));
    // A write that took nothing must not pass as success: the commands
    // read the response whenever the result is 0.
    result = written == 0 ? kErrWriteFailed : static_cast<int>(written);
  } else {
    const timespec deadline = deadline_after(timeout_s);
    const int wait = pthread_cond_timedwait(&c.cond, &c.lock, &deadline);
    if (wait != 0) {
      LOG_NUM(LOG_NORMAL, "[tessel] wait ret = %d", wait);
      result = wait;
    } else if (c.response != nullptr && response != nullptr) {
      *response = c.response;
      c.response = nullptr;
    } else {
      result = response != nullptr ? kErrNoChannel : kResultOk;
    }
  }

  // A copy delivered but not handed over (the deadline passed while the
  // reader delivered, or the caller wanted none) is released here.
  std::free(c.response);
  c.response = nullptr;
  c.pending = nullptr;
  pthread_mutex_unlock(&c.lock);
  return result;
}

int send_request(const uint8_t* request, uint8_t** response) {
  return send_and_wait(request, response, kDefaultTimeoutSeconds);
}

int wait_indication(uint32_t timeout_s) {
  TransportContext& c = transport_context();
  int wait;
  {
    TransportLock lock(c);
    const timespec deadline = deadline_after(timeout_s);
    wait = pthread_cond_timedwait(&c.cond, &c.lock, &deadline);
  }
  if (wait != 0) LOG_NUM(LOG_ERROR, "[tessel] seconds=%u, retval=%d", timeout_s, wait);
  return wait;
}

}  // namespace tessel

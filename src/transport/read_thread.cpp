// read_thread.cpp — the one thread that receives everything the modem sends.
//
// It polls the channel and the stop pipe, cuts what it reads into messages
// (message_splitter.h), dumps each one and hands a copy of the one that
// answers the pending request to the waiting sender. A message answers when
// it carries the request's TransactionId and is of a type that can answer
// it: the request's own DONE or an MBIM_FUNCTION_ERROR_MSG; a COMMAND_DONE
// must also name the request's service and CID. Anything else with that
// TransactionId (an MBIM_OPEN_DONE or an indication sent for a command, the
// request echoed back, a late answer to an earlier run's request that had
// the same TransactionId) is logged and passed over, so it can neither pass
// for a success nor be read with a layout it does not have; the wait goes
// on for the real answer.
//
// The channel is non-blocking: a poll that said readable may still find
// nothing (another reader of the node took it), and the reader polls again.
// A channel that yields kGarbageLimit bytes without one whole message is
// taken for lost, with one record, rather than read and logged until the
// deadline. The reader ends on that, on a stop request, a poll failure, an
// error, hang-up or invalid descriptor on either entry, or a node that
// fails a read with ENODEV (unplugged: modem_gone.h records it once); the
// channel stays open for ctx_deinit to close.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "diag_log/diag_log.h"
#include "transport/context.h"
#include "transport/message_splitter.h"
#include "transport/modem_gone.h"
#include "transport/transport.h"
#include "mbim_dump/dump_message.h"
#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "transport/transport_log.h"

TESSEL_LOG_MODULE(::tessel::kTransportLogFile);

namespace tessel {
namespace {

constexpr short kFailureEvents = POLLERR | POLLHUP | POLLNVAL;  // 0x38

// True when a message of `type` can answer a request of `request_type`.
bool answers(uint32_t request_type, uint32_t type) {
  if (type == MBIM_FUNCTION_ERROR_MSG) return true;
  switch (request_type) {
    case MBIM_OPEN_MSG: return type == MBIM_OPEN_DONE;
    case MBIM_CLOSE_MSG: return type == MBIM_CLOSE_DONE;
    case MBIM_COMMAND_MSG: return type == MBIM_COMMAND_DONE;
    default: return false;
  }
}

// True when a COMMAND_DONE of `length` bytes names the service and CID of
// the pending COMMAND_MSG; a message too short to name them names neither.
bool same_command(const uint8_t* request, const uint8_t* msg, uint32_t length) {
  constexpr size_t kNamed = kCidOffset + 4;  // DeviceServiceId and CID
  return length >= kNamed &&
         std::memcmp(request + kServiceIdOffset, msg + kServiceIdOffset, kNamed - kServiceIdOffset) == 0;
}

// Dumps one received message and delivers it when it answers the request.
void deliver(const uint8_t* msg, uint32_t length, void* context) {
  TransportContext& c = *static_cast<TransportContext*>(context);
  TransportLock lock(c);
  dump_message(msg, length, c.verbose);
  if (c.pending == nullptr ||
      get_le32(c.pending + kTransactionIdOffset) != get_le32(msg + kTransactionIdOffset)) {
    return;  // an indication, a late answer, or one nobody asked for
  }
  const uint32_t type = get_le32(msg + kMessageTypeOffset);
  if (!answers(get_le32(c.pending + kMessageTypeOffset), type)) {
    LOG_NUM(LOG_ERROR, "[tessel] TransactionId %u: MessageType 0x%08x cannot answer it; ignored",
            get_le32(msg + kTransactionIdOffset), type);
    return;
  }
  if (type == MBIM_COMMAND_DONE && !same_command(c.pending, msg, length)) {
    LOG_NUM(LOG_ERROR, "[tessel] TransactionId %u: answer for another service or CID; ignored",
            get_le32(msg + kTransactionIdOffset));
    return;
  }
  std::free(c.response);  // an earlier match of the same wait is replaced
  c.response = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(length) + 1));
  if (c.response != nullptr) std::memcpy(c.response, msg, length);
  c.delivered = true;
  pthread_cond_signal(&c.cond);
}

enum class ReadResult { kData, kFailed, kEnd };

// Reads once from the channel.
ReadResult read_channel(TransportContext& c, MessageSplitter& splitter) {
  errno = 0;
  const ssize_t n = read(c.mbim_fd, splitter.read_target(), splitter.read_room());
  if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
    return ReadResult::kData;  // nothing there after all: poll again
  }
  if (n < 1) {
    const int e = errno;
    LOG_NUM(LOG_ERROR, "[tessel] read=%d errno: %d", static_cast<int>(n), e);
    LOG_TXT(LOG_NORMAL, "[tessel] errno: (%s)", std::strerror(e));
    // A read of nothing from a readable channel is its end (a peer that shut
    // its side, or a path that is a plain file): polling again would spin
    // and flood the log until the deadline, so the reader ends as on a
    // hang-up and a waiting exchange returns at once. So does a node that
    // is gone (ENODEV): nothing will ever come from it again.
    if (n == 0) return ReadResult::kEnd;
    TransportLock lock(c);
    return note_gone_errno(c, "read", e) ? ReadResult::kEnd : ReadResult::kFailed;
  }
  splitter.received(static_cast<size_t>(n), deliver, &c);
  if (splitter.unusable() >= kGarbageLimit) {
    LOG_NUM(LOG_ERROR, "[tessel] channel lost: %u bytes without one whole message", splitter.unusable());
    return ReadResult::kEnd;
  }
  return ReadResult::kData;
}

}  // namespace

void* mbim_read_thread(void*) {
  TransportContext& c = transport_context();
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_read_thread is created");
  MessageSplitter splitter(c.stream);

  bool running = true;
  while (running && c.mbim_fd > 0) {
    pollfd entries[2] = {{c.mbim_fd, POLLIN, 0}, {c.stop_read, POLLIN, 0}};
    const int ready = poll(entries, 2, -1);
    // A stop signal handled on this thread interrupts the poll; the flow
    // still needs the reader to finish the exchange in flight.
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 1) {
      const int e = errno;
      LOG_TXT(LOG_ERROR, "[tessel] poll=%d, errno: %d (%s)", ready, e, std::strerror(e));
      break;
    }
    for (const pollfd& entry : entries) {
      if (entry.revents & kFailureEvents) {
        LOG_MSG(LOG_ERROR, "[tessel] poll err/hup/inval");
        LOG_NUM(LOG_ERROR, "[tessel] epoll fd = %d, events = 0x%04x", entry.fd, entry.revents);
        if (entry.fd == c.mbim_fd) {
          TransportLock lock(c);
          note_gone_events(c, entry.revents);
        }
        running = false;
        break;
      }
      if (!(entry.revents & POLLIN)) continue;
      if (entry.fd == c.stop_read) {
        running = false;
        break;
      }
      // A failed read does not skip the stop pipe: a channel that keeps
      // failing must not keep the thread from being stopped.
      if (read_channel(c, splitter) == ReadResult::kEnd) {
        running = false;
        break;
      }
    }
  }

  {
    TransportLock lock(c);
    c.reader_ended = true;
    pthread_cond_signal(&c.cond);
  }
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_read_thread exit");
  return nullptr;
}

}  // namespace tessel

// connection.cpp — the request/reply loop of one client.
#include "modem_sim/connection.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/hostile.h"
#include "modem_sim/inject.h"
#include "modem_sim/message_stream.h"
#include "modem_sim/notes.h"
#include "modem_sim/responder.h"
#include "modem_sim/stop_signal.h"

namespace tessel::sim {
namespace {

constexpr size_t kReadSize = 4096;

enum class Sent { kOk, kPeerGone };

// One write() for the whole of `bytes`; only a short write (a signal, a full
// socket buffer) makes it continue with another.
Sent write_whole(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      note("write to the client failed: %s", n < 0 ? std::strerror(errno) : "nothing written");
      return Sent::kPeerGone;
    }
    if (done == 0 && size_t(n) < bytes.size()) {
      note("short write: %zd of %zu bytes; sending the rest", n, bytes.size());
    }
    done += static_cast<size_t>(n);
  }
  return Sent::kOk;
}

// Sends the injected messages and the reply, one write each or all in one.
Sent send_reply(int fd, ServerContext* ctx, const std::vector<uint8_t>& request,
                const std::vector<uint8_t>& reply) {
  std::vector<std::vector<uint8_t>> extra =
      injected_messages(ctx->options->inject, request.data(), request.size(), &ctx->random);
  if (ctx->options->inject_same_write) {
    std::vector<uint8_t> all;
    for (const auto& m : extra) {
      ctx->log->tx(m.data(), m.size());
      all.insert(all.end(), m.begin(), m.end());
    }
    ctx->log->tx(reply.data(), reply.size());
    all.insert(all.end(), reply.begin(), reply.end());
    return write_whole(fd, all);
  }
  for (const auto& m : extra) {
    ctx->log->tx(m.data(), m.size());
    if (write_whole(fd, m) != Sent::kOk) return Sent::kPeerGone;
  }
  ctx->log->tx(reply.data(), reply.size());
  return write_whole(fd, reply);
}

}  // namespace

bool stdin_ended() {
  std::array<uint8_t, 256> scratch{};
  ssize_t n = ::read(STDIN_FILENO, scratch.data(), scratch.size());
  if (n < 0 && (errno == EINTR || errno == EAGAIN)) return false;
  return n <= 0;
}

ConnectionEnd serve_connection(int fd, ServerContext* ctx) {
  MessageStream stream;
  uint32_t received = 0;
  std::array<uint8_t, kReadSize> chunk{};
  std::vector<uint8_t> message;
  const bool watch_stdin = ctx->options->exit_on_stdin_eof;
  for (;;) {
    std::array<pollfd, 3> fds = {pollfd{fd, POLLIN, 0}, pollfd{stop_fd(), POLLIN, 0},
                                 pollfd{watch_stdin ? STDIN_FILENO : -1, POLLIN, 0}};
    int ready = ::poll(fds.data(), fds.size(), -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      note("poll failed: %s", std::strerror(errno));
      return ConnectionEnd::kPeerClosed;
    }
    if (fds[1].revents != 0) return ConnectionEnd::kStopRequested;
    if (fds[2].revents != 0 && stdin_ended()) return ConnectionEnd::kStdinClosed;
    if (fds[0].revents == 0) continue;

    ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (n < 0) note("read from the client failed: %s", std::strerror(errno));
      if (!stream.held().empty()) {
        note("client left in the middle of a message; %zu bytes dropped", stream.held().size());
        ctx->log->drop(stream.held().data(), stream.held().size());
      }
      return ConnectionEnd::kPeerClosed;
    }
    stream.append(chunk.data(), static_cast<size_t>(n));

    for (;;) {
      StreamResult got = stream.next(&message);
      if (got == StreamResult::kNeedMore) break;
      if (got == StreamResult::kDropped) {
        const uint32_t claimed = get_le32(message.data() + kMessageLengthOffset);
        note("MessageLength %u is impossible; %zu bytes dropped", claimed, message.size());
        ctx->log->drop(message.data(), message.size());
        continue;
      }
      ctx->log->rx(message.data(), message.size());
      ++received;
      if (ctx->options->hangup_at != 0 && received == ctx->options->hangup_at) {
        note("message %u of this connection: hanging up (--hangup-at)", received);
        return ConnectionEnd::kHungUp;
      }
      Response response = respond(ctx->state, ctx->knobs, message.data(), message.size());
      ++ctx->state->requests;
      if (ctx->state->requests == ctx->options->mute_at) {
        note("request %u of the run: acted on, not answered (--mute-at)", ctx->state->requests);
        if (ctx->options->hangup_on_mute) return ConnectionEnd::kHungUp;
        continue;
      }
      if (ctx->options->hostile_ms != 0) {
        const HostileEnd end = send_hostile_burst(fd, ctx, message);
        if (end == HostileEnd::kPeerGone) return ConnectionEnd::kPeerClosed;
        if (end == HostileEnd::kStopRequested) return ConnectionEnd::kStopRequested;
        if (ctx->options->hostile_then_silent) continue;
      }
      if (!response.send) continue;
      // A held answer goes out at once, ahead of this request's delay.
      if (!response.late.empty()) {
        ctx->log->tx(response.late.data(), response.late.size());
        if (write_whole(fd, response.late) != Sent::kOk) return ConnectionEnd::kPeerClosed;
      }
      if (response.message.empty()) continue;
      if (response.delay_ms != 0 && !sleep_unless_stopped(response.delay_ms)) {
        return ConnectionEnd::kStopRequested;
      }
      if (send_reply(fd, ctx, message, response.message) != Sent::kOk) {
        return ConnectionEnd::kPeerClosed;
      }
    }
  }
}

}  // namespace tessel::sim

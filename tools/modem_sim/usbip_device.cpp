// usbip_device.cpp — one plug of the USB device: the USB/IP loop.
#include "modem_sim/usbip_device.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "modem_sim/notes.h"
#include "modem_sim/stop_signal.h"
#include "modem_sim/usb_descriptors.h"

namespace tessel::sim {
namespace {

// The MBIM class requests (MBIM 1.0, table 6-1); the rest go to UsbControl.
enum MbimRequest : uint8_t {
  kSendEncapsulatedCommand = 0x00,
  kGetEncapsulatedResponse = 0x01,
  kResetFunction = 0x05,
};

constexpr size_t kReadSize = 65536;

bool is_mbim_request(const SetupPacket& s) {
  return (s.request_type & kRequestTypeMask) == kRequestTypeClass &&
         (s.request_type & kRequestRecipientMask) == kRecipientInterface &&
         s.index == kControlInterface &&
         (s.request == kSendEncapsulatedCommand || s.request == kGetEncapsulatedResponse ||
          s.request == kResetFunction);
}

bool take_out(std::deque<uint32_t>* held, uint32_t seqnum) {
  auto it = std::find(held->begin(), held->end(), seqnum);
  if (it == held->end()) return false;
  held->erase(it);
  return true;
}

}  // namespace

UsbEnd UsbipDevice::serve(int fd) {
  fd_ = fd;
  UsbipReader reader;
  std::vector<uint8_t> chunk(kReadSize);
  const bool watch_stdin = ctx_->options->exit_on_stdin_eof;
  for (;;) {
    const int wait_ms = function_.release_due(monotonic_ms());
    if (notify() != Step::kGoOn) return UsbEnd::kHostGone;
    std::array<pollfd, 4> fds = {pollfd{fd, POLLIN, 0}, pollfd{stop_fd(), POLLIN, 0},
                                 pollfd{unplug_fd(), POLLIN, 0},
                                 pollfd{watch_stdin ? STDIN_FILENO : -1, POLLIN, 0}};
    const int ready = ::poll(fds.data(), fds.size(), wait_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      note("poll failed: %s", std::strerror(errno));
      return UsbEnd::kHostGone;
    }
    if (fds[1].revents != 0) return UsbEnd::kStopRequested;
    if (fds[2].revents != 0) {
      clear_unplug_request();
      note("SIGUSR1: unplugging");
      return UsbEnd::kUnplugged;
    }
    if (fds[3].revents != 0 && stdin_ended()) return UsbEnd::kStdinClosed;
    if (fds[0].revents == 0) continue;

    const ssize_t n = ::read(fd, chunk.data(), chunk.size());
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) {
      if (n < 0) note("USB/IP: read failed: %s", std::strerror(errno));
      return UsbEnd::kHostGone;
    }
    reader.append(chunk.data(), static_cast<size_t>(n));
    for (;;) {
      UsbipCommand command;
      const char* why = "";
      const PduResult got = reader.next(&command, &why);
      if (got == PduResult::kNeedMore) break;
      if (got == PduResult::kBad) {
        note("USB/IP: %s; the stream is out of step, leaving it", why);
        return UsbEnd::kHostGone;
      }
      const Step step = handle(command);
      if (step == Step::kHostGone) return UsbEnd::kHostGone;
      if (step == Step::kUnplug) return UsbEnd::kUnplugged;
    }
  }
}

UsbipDevice::Step UsbipDevice::handle(const UsbipCommand& c) {
  if (c.command == kUsbipCmdUnlink) return unlink(c);
  if (c.ep == 0) return control(c);
  if (c.ep == kNotifyEndpoint && c.direction == kUsbipDirIn) {
    interrupt_in_.push_back(c.seqnum);
    return notify();
  }
  if (c.ep == kDataEndpoint && c.direction == kUsbipDirIn) {
    bulk_in_.push_back(c.seqnum);
    return Step::kGoOn;
  }
  if (c.ep == kDataEndpoint && c.direction == kUsbipDirOut) {
    return send(ret_submit(c.seqnum, kUsbStatusOk, static_cast<uint32_t>(c.data.size()), {}));
  }
  note("USB/IP: transfer to endpoint %u (%s), which the device does not have: stalled", c.ep,
       c.direction == kUsbipDirIn ? "IN" : "OUT");
  return send(ret_submit(c.seqnum, kUsbStatusStall, 0, {}));
}

UsbipDevice::Step UsbipDevice::control(const UsbipCommand& c) {
  const SetupPacket& s = c.setup;
  if (!is_mbim_request(s)) {
    ControlReply reply = control_.handle(s, c.data);
    if (reply.stall) return send(ret_submit(c.seqnum, kUsbStatusStall, 0, {}));
    const bool in = (s.request_type & kRequestDirIn) != 0;
    const size_t length = in ? reply.data.size() : c.data.size();
    return send(ret_submit(c.seqnum, kUsbStatusOk, static_cast<uint32_t>(length), reply.data));
  }
  switch (s.request) {
    case kGetEncapsulatedResponse: {
      std::vector<uint8_t> message = function_.next_response(s.length);
      return send(
          ret_submit(c.seqnum, kUsbStatusOk, static_cast<uint32_t>(message.size()), message));
    }
    case kResetFunction:
      function_.reset();
      reset_function(ctx_->state);
      return send(ret_submit(c.seqnum, kUsbStatusOk, 0, {}));
    default: break;
  }
  // The transfer is complete once the device has the bytes: the host's write
  // has succeeded whatever the modem then makes of the message.
  const Step sent =
      send(ret_submit(c.seqnum, kUsbStatusOk, static_cast<uint32_t>(c.data.size()), {}));
  if (sent != Step::kGoOn) return sent;
  const CommandOutcome outcome = function_.take_command(c.data, monotonic_ms());
  if (outcome != CommandOutcome::kServed) return Step::kUnplug;
  return notify();
}

UsbipDevice::Step UsbipDevice::unlink(const UsbipCommand& c) {
  const bool held =
      take_out(&interrupt_in_, c.unlink_seqnum) || take_out(&bulk_in_, c.unlink_seqnum);
  return send(ret_unlink(c.seqnum, held ? kUsbStatusUnlinked : kUsbStatusOk));
}

UsbipDevice::Step UsbipDevice::notify() {
  while (!interrupt_in_.empty() && function_.take_notification()) {
    const uint32_t seqnum = interrupt_in_.front();
    interrupt_in_.pop_front();
    const std::vector<uint8_t> bytes(kResponseAvailable.begin(), kResponseAvailable.end());
    if (send(ret_submit(seqnum, kUsbStatusOk, static_cast<uint32_t>(bytes.size()), bytes)) !=
        Step::kGoOn) {
      return Step::kHostGone;
    }
  }
  return Step::kGoOn;
}

UsbipDevice::Step UsbipDevice::send(const std::vector<uint8_t>& pdu) {
  size_t done = 0;
  while (done < pdu.size()) {
    const ssize_t n = ::write(fd_, pdu.data() + done, pdu.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      note("USB/IP: write failed: %s", n < 0 ? std::strerror(errno) : "nothing written");
      return Step::kHostGone;
    }
    done += static_cast<size_t>(n);
  }
  return Step::kGoOn;
}

}  // namespace tessel::sim

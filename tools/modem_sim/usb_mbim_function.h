// usb_mbim_function.h — the MBIM function of the USB device: the messages
// that travel in endpoint 0's encapsulated commands.
//
// Each SEND_ENCAPSULATED_COMMAND carries one whole MBIM message from the host,
// answered by respond() as on the pty. Each message the modem sends (a reply,
// an --inject message, a --late answer) waits in a queue; each is announced by
// one RESPONSE_AVAILABLE notification on the interrupt endpoint and handed
// out whole to the next GET_ENCAPSULATED_RESPONSE. This is what cdc-wdm
// expects: it counts notifications and asks once for each, one message per
// read; a request that finds the queue empty gets a zero-length answer,
// which cdc-wdm passes over.
//
// A --delay holds a reply back without holding up the device: the host's
// other transfers are still served meanwhile. Replies still leave in the
// order their requests came, as on the pty, where the modem answers one
// request after another.
//
// The wire log gets RX for each message received and TX for each message
// handed to the host, exactly as handed over.
#ifndef TESSEL_TOOLS_MODEM_SIM_USB_MBIM_FUNCTION_H_
#define TESSEL_TOOLS_MODEM_SIM_USB_MBIM_FUNCTION_H_

#include <cstdint>
#include <deque>
#include <vector>

#include "modem_sim/connection.h"

namespace tessel::sim {

// At most this many messages wait for the host; past it the oldest goes,
// with a note. A host that never reads (the node closed) cannot make the
// simulator grow without bound.
constexpr size_t kMaxQueuedMessages = 64;

enum class CommandOutcome {
  kServed,       // answered, or silent as the knobs say
  kUnplugChunk,  // --unplug-after-chunk: the chunk is stored, its answer never sent
  kUnplugHangup,  // --hangup-at: unplugged instead of answering
};

// The modem's MBIM function as a power-up (a re-plug) or RESET_FUNCTION
// leaves it; the store (tables, digests) is flash and stays.
void reset_function(SimState* state);

class UsbMbimFunction {
 public:
  explicit UsbMbimFunction(ServerContext* context) : ctx_(context) {}

  // One SEND_ENCAPSULATED_COMMAND's data, at `now_ms`.
  CommandOutcome take_command(const std::vector<uint8_t>& transfer, int64_t now_ms);

  // Queues the replies due by `now_ms`; returns the milliseconds until the
  // next one is due, or -1 when none is waiting for its time.
  int release_due(int64_t now_ms);

  // True (and one fewer owed) when a RESPONSE_AVAILABLE is owed to the host.
  bool take_notification();

  // The answer to GET_ENCAPSULATED_RESPONSE with wLength `length`: the next
  // queued message, or nothing. A message longer than `length` is a fault of
  // the simulator's knobs (a long --at-reply): it is cut, with a note.
  std::vector<uint8_t> next_response(uint16_t length);

  // RESET_FUNCTION: whatever waits for the host is dropped.
  void reset();

 private:
  struct Scheduled {
    int64_t due_ms;
    std::vector<uint8_t> message;
  };

  void schedule(int64_t due_ms, std::vector<uint8_t> message);
  void queue(std::vector<uint8_t> message);

  ServerContext* ctx_;
  std::deque<Scheduled> scheduled_;         // replies waiting out a --delay, in order
  std::deque<std::vector<uint8_t>> ready_;  // announced or to be announced
  uint32_t owed_notifications_ = 0;
  uint32_t received_ = 0;  // messages received on this plug, for --hangup-at
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_USB_MBIM_FUNCTION_H_

// usb_mbim_function.cpp — MBIM messages in and out of endpoint 0.
#include "modem_sim/usb_mbim_function.h"

#include <algorithm>

#include "byte_order/byte_order.h"
#include "mbim_format/mbim_message.h"
#include "modem_sim/inject.h"
#include "modem_sim/mbim_messages.h"
#include "modem_sim/notes.h"
#include "modem_sim/responder.h"

namespace tessel::sim {

void reset_function(SimState* state) { state->function_open = !state->options.closed; }

CommandOutcome UsbMbimFunction::take_command(const std::vector<uint8_t>& transfer,
                                             int64_t now_ms) {
  uint32_t claimed = 0;
  if (!read_le32(transfer.data(), transfer.size(), kMessageLengthOffset, &claimed) ||
      transfer.size() < kHeaderSize || claimed != transfer.size()) {
    // One transfer is one message: a length that disagrees cannot be mended
    // by waiting for more, as it could on a byte stream.
    note("encapsulated command of %zu bytes whose MessageLength is %u: dropped", transfer.size(),
         claimed);
    ctx_->log->drop(transfer.data(), transfer.size());
    if (transfer.size() >= kHeaderSize) {
      schedule(now_ms, function_error(get_le32(transfer.data() + kTransactionIdOffset),
                                      kErrorLengthMismatch));
    }
    return CommandOutcome::kServed;
  }
  ctx_->log->rx(transfer.data(), transfer.size());
  ++received_;
  if (ctx_->options->hangup_at != 0 && received_ == ctx_->options->hangup_at) {
    note("message %u of this plug: unplugging instead of answering (--hangup-at)", received_);
    return CommandOutcome::kUnplugHangup;
  }
  const uint32_t chunks_before = ctx_->state->write_chunks;
  Response response = respond(ctx_->state, ctx_->knobs, transfer.data(), transfer.size());
  const uint32_t unplug_at = ctx_->options->unplug_after_chunk;
  if (unplug_at != 0 && chunks_before < unplug_at && ctx_->state->write_chunks >= unplug_at) {
    note("DIAG write chunk %u received and stored: unplugging before answering it "
         "(--unplug-after-chunk)",
         ctx_->state->write_chunks);
    return CommandOutcome::kUnplugChunk;
  }
  if (!response.send) return CommandOutcome::kServed;
  // A held answer goes out at once, ahead of this request's delay.
  if (!response.late.empty()) schedule(now_ms, std::move(response.late));
  if (response.message.empty()) return CommandOutcome::kServed;
  const int64_t due = now_ms + response.delay_ms;
  std::vector<std::vector<uint8_t>> extra =
      injected_messages(ctx_->options->inject, transfer.data(), transfer.size(), &ctx_->random);
  if (ctx_->options->inject_same_write) {
    // All in one transfer: the host reads them as one message's worth of bytes.
    std::vector<uint8_t> all;
    for (const auto& m : extra) all.insert(all.end(), m.begin(), m.end());
    all.insert(all.end(), response.message.begin(), response.message.end());
    schedule(due, std::move(all));
    return CommandOutcome::kServed;
  }
  for (auto& m : extra) schedule(due, std::move(m));
  schedule(due, std::move(response.message));
  return CommandOutcome::kServed;
}

void UsbMbimFunction::schedule(int64_t due_ms, std::vector<uint8_t> message) {
  // Never ahead of a reply scheduled earlier: the modem answers in order.
  if (!scheduled_.empty()) due_ms = std::max(due_ms, scheduled_.back().due_ms);
  scheduled_.push_back(Scheduled{due_ms, std::move(message)});
}

int UsbMbimFunction::release_due(int64_t now_ms) {
  while (!scheduled_.empty() && scheduled_.front().due_ms <= now_ms) {
    queue(std::move(scheduled_.front().message));
    scheduled_.pop_front();
  }
  if (scheduled_.empty()) return -1;
  return static_cast<int>(std::min<int64_t>(scheduled_.front().due_ms - now_ms, 0x7FFFFFFF));
}

void UsbMbimFunction::queue(std::vector<uint8_t> message) {
  if (ready_.size() == kMaxQueuedMessages) {
    note("%zu messages wait for the host, which does not fetch them; the oldest "
         "(%zu bytes) is dropped",
         ready_.size(), ready_.front().size());
    ready_.pop_front();
  }
  ready_.push_back(std::move(message));
  ++owed_notifications_;
}

bool UsbMbimFunction::take_notification() {
  if (owed_notifications_ == 0) return false;
  --owed_notifications_;
  return true;
}

std::vector<uint8_t> UsbMbimFunction::next_response(uint16_t length) {
  if (ready_.empty()) return {};
  std::vector<uint8_t> message = std::move(ready_.front());
  ready_.pop_front();
  if (message.size() > length) {
    note("a message of %zu bytes does not fit GET_ENCAPSULATED_RESPONSE's %u: "
         "the host gets its first %u bytes",
         message.size(), length, length);
    ctx_->log->drop(message.data() + length, message.size() - length);
    message.resize(length);
  }
  ctx_->log->tx(message.data(), message.size());
  return message;
}

void UsbMbimFunction::reset() {
  if (!scheduled_.empty() || !ready_.empty()) {
    note("RESET_FUNCTION: %zu message(s) for the host dropped", scheduled_.size() + ready_.size());
  }
  scheduled_.clear();
  ready_.clear();
  owed_notifications_ = 0;
}

}  // namespace tessel::sim

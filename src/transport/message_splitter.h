// message_splitter.h — cuts what the reader receives into whole MBIM messages.
//
// A device node hands over what the modem sent up to the 4096 bytes asked
// for. Usually a read is one transfer and every message lies wholly inside
// it, but when an answer and an indication queue up (or a pty splits a long
// write) one message can straddle two reads. The node's rule:
//  - A read that ends inside a message is kept as a part when what it holds
//    could begin a message the modem sends: one of the five modem-to-host
//    MessageTypes, a MessageLength from 12 up to the 4096-byte buffer, and,
//    once its InformationBufferLength is held (offset 44 of a COMMAND_DONE,
//    40 of an indication), that length fitting the MessageLength. Anything
//    else is dropped with the rest of the read, as a broken message always was.
//  - A read that begins with one of those MessageTypes starts afresh: the
//    part is dropped and the read is cut from its start. So a header that was
//    only garbage, or a message the modem cut short, never swallows the whole
//    messages of a later read. The continuation of a real message begins
//    mid-message, where four bytes that spell a MessageType are all but
//    impossible.
//  - Any other read continues the part: its first bytes complete it (then
//    the rest of the read is cut as usual), or it grows and waits. Should the
//    grown part stop being a message the modem could send, it is dropped and
//    the read cut from its start.
// Messages that arrive whole in one read are cut exactly as without parts.
//
// The proxy's sockets are byte streams: a message may arrive across two
// reads, and the proxy forwards reassembled indications longer than the
// receive buffer. In stream mode a partial trailing message is kept and
// completed from the next reads; a message longer than the buffer is skipped
// whole (its MessageLength bytes consumed) so the stream stays in step.
//
// In either mode a MessageLength below the 12-byte header cannot be stepped
// over: the bytes held are dropped. Each drop or skip is one error record,
//   "[tessel] error: read=%d MessageLength=%u"  (level 8)
// with the bytes left (for a node part, the bytes it held) and the
// MessageLength (0 when not yet read), and each whole message one
//   "[tessel] read=%d MessageLength=%u"         (level 2)
// before it is handed on. A stretch without a whole message logs only its first
// kDropRecords drops and skips; unusable() counts the bytes dropped since
// the last whole message, so the reader can give up on a channel that
// yields nothing else (kGarbageLimit).
#ifndef TESSEL_TRANSPORT_MESSAGE_SPLITTER_H_
#define TESSEL_TRANSPORT_MESSAGE_SPLITTER_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessel {

constexpr size_t kReceiveBufferSize = 4096;
// Unusable bytes in a row after which the channel is taken for lost: sixteen
// full transfers of a node, far more than any modem sends between answers.
constexpr uint32_t kGarbageLimit = 65536;
constexpr uint32_t kDropRecords = 8;

class MessageSplitter {
 public:
  // Called for each whole message: `msg` holds exactly `length` bytes
  // (length >= 12, equal to its MessageLength).
  using Sink = void (*)(const uint8_t* msg, uint32_t length, void* context);

  explicit MessageSplitter(bool stream) : stream_(stream) {}

  // Where the next read should put its bytes, and how many fit (never 0).
  uint8_t* read_target() { return buffer_.data() + held_; }
  size_t read_room() const { return buffer_.size() - held_; }

  // Processes `n` bytes just read into read_target().
  void received(size_t n, Sink sink, void* context);

  // Bytes kept for a message not yet whole (stream remainder or node part).
  size_t held() const { return held_ + part_held_; }
  uint32_t unusable() const { return unusable_; }

 private:
  void drop_all(uint32_t left, uint32_t length);
  void note_unusable(uint32_t bytes, uint32_t left, uint32_t length);
  void hold_or_drop(size_t pos, uint32_t left, uint32_t length);
  void drop_part();
  size_t join_part(Sink sink, void* context);

  bool stream_;
  std::array<uint8_t, kReceiveBufferSize> buffer_{};
  size_t held_ = 0;   // bytes at the buffer's start not yet handed on
  uint32_t skip_ = 0; // bytes of an oversize message still to discard
  uint32_t unusable_ = 0;  // bytes dropped since the last whole message
  uint32_t drops_ = 0;     // drops and skips logged in this stretch
  // Node only: the start of a message that ran past the end of its read.
  std::array<uint8_t, kReceiveBufferSize> part_{};
  size_t part_held_ = 0;
};

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_MESSAGE_SPLITTER_H_

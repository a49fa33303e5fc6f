// message_splitter.h — cuts what the reader receives into whole MBIM messages.
//
// A device node hands over one transfer per read: every message lies wholly
// inside it, and one that claims more bytes than the read holds is broken,
// so the rest of that read is dropped.
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
// with the bytes left and the MessageLength, and each whole message one
//   "[tessel] read=%d MessageLength=%u"         (level 2)
// before it is handed on. A stretch without a whole message logs only its first
// kDropRecords drops and skips; unusable() counts the bytes dropped since
// the last whole message, so the reader can give up on a channel that
// yields nothing else (kGarbageLimit).
#ifndef TESSEL_MBIM_CTX_MESSAGE_SPLITTER_H_
#define TESSEL_MBIM_CTX_MESSAGE_SPLITTER_H_

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

  size_t held() const { return held_; }
  uint32_t unusable() const { return unusable_; }

 private:
  void drop_all(uint32_t left, uint32_t length);
  void note_unusable(uint32_t bytes, uint32_t left, uint32_t length);

  bool stream_;
  std::array<uint8_t, kReceiveBufferSize> buffer_{};
  size_t held_ = 0;   // bytes at the buffer's start not yet handed on
  uint32_t skip_ = 0; // bytes of an oversize message still to discard
  uint32_t unusable_ = 0;  // bytes dropped since the last whole message
  uint32_t drops_ = 0;     // drops and skips logged in this stretch
};

}  // namespace tessel

#endif  // TESSEL_MBIM_CTX_MESSAGE_SPLITTER_H_

// message_stream.h — cuts the byte stream from a client into MBIM messages
// by their MessageLength.
//
// A stream carries no boundaries: one read may hold half a request, or two.
// Bytes are kept until a whole message is there. A MessageLength below the
// 12-byte header or above kMaxMessageSize cannot be trusted to find the next
// message, so everything held is dropped and the stream starts afresh with
// the next bytes read.
#ifndef TESSEL_TOOLS_MODEM_SIM_MESSAGE_STREAM_H_
#define TESSEL_TOOLS_MODEM_SIM_MESSAGE_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessel::sim {

constexpr size_t kMaxMessageSize = 65536;

enum class StreamResult {
  kMessage,   // *out holds one whole message
  kNeedMore,  // no whole message held yet
  kDropped,   // *out holds the bytes dropped for an impossible MessageLength
};

class MessageStream {
 public:
  void append(const uint8_t* bytes, size_t length);

  // Takes the next message, or reports the bytes dropped; call until kNeedMore.
  StreamResult next(std::vector<uint8_t>* out);

  // Bytes held that do not make a whole message yet.
  const std::vector<uint8_t>& held() const { return held_; }
  void clear() { held_.clear(); }

 private:
  std::vector<uint8_t> held_;
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_MESSAGE_STREAM_H_

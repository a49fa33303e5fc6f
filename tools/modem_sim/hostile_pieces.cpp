// hostile_pieces.cpp — builds the pieces of a --hostile burst and groups
// them into transfers (see hostile_pieces.h for what each piece is).
#include "modem_sim/hostile_pieces.h"

#include <algorithm>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "modem_sim/diag_packets.h"
#include "modem_sim/hdlc.h"
#include "modem_sim/mbim_messages.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kOtherIdOffset = 1000;  // other TransactionIds lie far from the run's own
constexpr size_t kShortMessageSize = 16;   // the DONEs with one Status word, errors
constexpr uint32_t kHugeLength = 100000;

// How a receiver that honours MessageLength sees a piece.
enum class Framing {
  kWhole,   // MessageLength is the piece's size
  kDrop,    // MessageLength below 12: cannot be stepped over
  kClaims,  // claims more than the piece holds, or (pty random bytes) anything
};

struct Piece {
  Bytes bytes;
  Framing framing = Framing::kWhole;
  bool claiming = false;
  bool answer_like = false;
  bool whole_write = false;  // a transfer of its own, sent in one write
};

// A whole message the receiver can step over, nothing else to say of it.
Piece piece_of(Bytes bytes) {
  Piece p;
  p.bytes = std::move(bytes);
  return p;
}

// Every random draw is a statement of its own, never one of several
// arguments of one call, whose order of evaluation the compiler chooses: one
// seed must give one burst on every host and target.
class Builder {
 public:
  Builder(const uint8_t* request, size_t length, bool stream, std::mt19937* random)
      : raw_(request, request + length), stream_(stream), random_(random) {
    read_le32(request, length, kMessageTypeOffset, &type_);
    read_le32(request, length, kTransactionIdOffset, &tid_);
    const char* why = "";
    if (type_ == MBIM_COMMAND_MSG) parse_command(request, length, &command_, &why);
    command_.transaction_id = tid_;
    if (type_ == MBIM_OPEN_MSG || type_ == MBIM_CLOSE_MSG || type_ == MBIM_COMMAND_MSG) {
      answer_type_ = type_ | kModemToHostBit;
    }
  }

  // A header no receiver can use on either road: it has to say so.
  Piece first() { return bad_header(/*unusable=*/true); }
  Piece wrong_type_piece() { return wrong_type(); }
  Piece answer_like_piece() { return answer_like(); }
  Piece last() {
    Piece p = noise();
    p.whole_write = true;
    return p;
  }

  // Any piece but the answer-like one, by weight.
  Piece any() {
    const uint32_t roll = below(100);
    if (roll < 24) return bad_header(false);
    if (roll < 40) return random_piece();
    if (roll < 46) return wrong_type();
    if (roll < 52) return stream_ ? wrong_type() : cut_short_transfer();
    if (roll < 66) return lying_done();
    if (roll < 74) return bad_fcs();
    if (roll < 86) return at_reply();
    return noise();
  }

  // A claim on a byte stream is paid with filler up to its MessageLength.
  void keep_stream_in_step(Piece* p) {
    if (!stream_ || p->framing != Framing::kClaims) return;
    const uint32_t claimed = get_le32(&p->bytes[kMessageLengthOffset]);
    const Bytes filler = random_bytes(claimed - p->bytes.size());
    p->bytes.insert(p->bytes.end(), filler.begin(), filler.end());
    p->framing = Framing::kWhole;
  }

  uint32_t below(uint32_t n) { return n == 0 ? 0 : static_cast<uint32_t>((*random_)() % n); }
  uint32_t between(uint32_t lo, uint32_t hi) { return lo + below(hi - lo + 1); }
  bool one_in(uint32_t n) { return below(n) == 0; }

 private:
  Bytes random_bytes(size_t n) {
    Bytes b(n);
    for (uint8_t& x : b) x = static_cast<uint8_t>((*random_)());
    return b;
  }

  uint32_t other_id() { return tid_ + kOtherIdOffset + below(kOtherIdOffset); }

  CommandRequest other_command(const ServiceId& service, uint32_t cid) {
    CommandRequest other;
    other.transaction_id = other_id();
    other.service = service;
    other.cid = cid;
    return other;
  }

  static Bytes header(uint32_t type, uint32_t length, uint32_t tid, size_t size) {
    Bytes m(size, 0);
    put_le32(&m[kMessageTypeOffset], type);
    put_le32(&m[kMessageLengthOffset], length);
    put_le32(&m[kTransactionIdOffset], tid);
    return m;
  }

  // The answer's own message, well formed, Status 0.
  Bytes answer_message() {
    if (answer_type_ == MBIM_COMMAND_DONE)
      return command_done(command_, 0, random_bytes(below(101)));
    if (answer_type_ != 0) return open_close_done(answer_type_, tid_, 0);
    return function_error(tid_, 0);
  }

  // `unusable`: only a MessageLength below 12 or beyond the 4096-byte
  // receive buffer, which a receiver drops or skips rather than reads.
  Piece bad_header(bool unusable) {
    static constexpr uint32_t kTypes[] = {MBIM_COMMAND_DONE, MBIM_INDICATE_STATUS_MSG,
                                          MBIM_OPEN_DONE, MBIM_FUNCTION_ERROR_MSG};
    const uint32_t type = one_in(5) ? static_cast<uint32_t>((*random_)()) : kTypes[below(4)];
    const uint32_t tid = one_in(2) ? 0 : other_id();
    Piece p;
    uint32_t choice = below(stream_ ? 6 : 7);
    if (unusable && (choice == 3 || choice == 5)) choice = 4;
    switch (choice) {
      case 0:
      case 1:
      case 2: {
        static constexpr uint32_t kSmall[] = {0, 5, 11};
        const size_t size = kHeaderSize + below(64);
        p.bytes = header(type, kSmall[below(3)], tid, size);
        p.framing = Framing::kDrop;
        break;
      }
      case 3: p.bytes = header(type, kHeaderSize, tid, kHeaderSize); break;
      case 4:
        p.bytes = header(type, kHugeLength, tid, kHeaderSize + below(64));
        p.framing = Framing::kClaims;
        break;
      case 5: {
        const size_t size = kHeaderSize + below(64);
        p.bytes = header(type, static_cast<uint32_t>(size + 1 + below(3000)), tid, size);
        p.framing = Framing::kClaims;
        break;
      }
      default: {  // pty only: any MessageLength beyond the piece
        const size_t size = kHeaderSize + below(64);
        p.bytes = header(type, 0, tid, size);
        const uint32_t length = static_cast<uint32_t>((*random_)()) | 0x1000u;  // 4096 or more
        put_le32(&p.bytes[kMessageLengthOffset], length);
        p.framing = Framing::kClaims;
        break;
      }
    }
    // The bytes after the header are random; the header stays as chosen.
    for (size_t i = kHeaderSize; i < p.bytes.size(); ++i)
      p.bytes[i] = static_cast<uint8_t>((*random_)());
    return p;
  }

  Piece random_piece() {
    Piece p;
    p.bytes = random_bytes(1 + below(300));
    if (!stream_) {
      p.framing = Framing::kClaims;  // whatever it claims, it ends its transfer
      return p;
    }
    if (p.bytes.size() < kHeaderSize) p.bytes.resize(kHeaderSize, 0x5A);
    if (one_in(2)) {
      put_le32(&p.bytes[kMessageLengthOffset], below(kHeaderSize));
      p.framing = Framing::kDrop;
    } else {
      put_le32(&p.bytes[kMessageLengthOffset], static_cast<uint32_t>(p.bytes.size()));
    }
    if (get_le32(&p.bytes[kTransactionIdOffset]) == tid_) {
      put_le32(&p.bytes[kTransactionIdOffset], other_id());
    }
    return p;
  }

  Piece wrong_type() {
    Piece p;
    p.claiming = true;
    p.whole_write = true;
    for (;;) {
      switch (below(5)) {
        case 0: p.bytes = open_close_done(MBIM_OPEN_DONE, tid_, 0); break;
        case 1: p.bytes = open_close_done(MBIM_CLOSE_DONE, tid_, 0); break;
        case 2:
          p.bytes = indicate_status(command_.service, command_.cid, random_bytes(below(65)));
          put_le32(&p.bytes[kTransactionIdOffset], tid_);
          break;
        case 3: p.bytes = raw_; break;  // the request echoed back
        default:
          p.bytes = header(MBIM_HOST_ERROR_MSG, kShortMessageSize, tid_, kShortMessageSize);
          put_le32(&p.bytes[kErrorStatusCodeOffset], between(1, 8));
          break;
      }
      if (get_le32(&p.bytes[kMessageTypeOffset]) != answer_type_ && p.bytes.size() >= kHeaderSize) {
        return p;
      }
    }
  }

  // The answer's message cut where the transfer ends (pty only).
  Piece cut_short_transfer() {
    Piece p;
    p.bytes = answer_message();
    // Cut before the Status word, so no Status of its own would ever be read.
    const size_t cut =
        between(kHeaderSize, static_cast<uint32_t>(std::min<size_t>(39, p.bytes.size() - 1)));
    p.bytes.resize(cut);
    p.framing = Framing::kClaims;
    p.claiming = true;
    return p;
  }

  // The answer's message type with a MessageLength below its smallest size.
  Piece answer_like() {
    Piece p;
    Bytes full = answer_type_ == 0 || one_in(4) ? function_error(tid_, 0) : answer_message();
    const size_t smallest = get_le32(&full[kMessageTypeOffset]) == MBIM_COMMAND_DONE
                                ? kCommandHeaderSize
                                : kShortMessageSize;
    const size_t cut = between(kHeaderSize, static_cast<uint32_t>(smallest - 1));
    full.resize(cut);
    put_le32(&full[kMessageLengthOffset], static_cast<uint32_t>(cut));
    p.bytes = std::move(full);
    p.claiming = true;
    p.answer_like = true;
    return p;
  }

  Piece lying_done() {
    const Bytes info = random_bytes(below(121));
    const uint32_t status = below(3);
    Piece p;
    p.bytes = command_done(other_command(command_.service, command_.cid), status, info);
    const uint32_t n = static_cast<uint32_t>(info.size());
    uint32_t lie;
    switch (below(5)) {
      case 0: lie = n + 1 + below(5000); break;
      case 1: lie = 0xFFFFFFFFu; break;
      case 2: lie = 0x80000000u; break;
      case 3: lie = n == 0 ? 1 : 0; break;
      default: lie = n == 0 ? 4096 : n - 1; break;
    }
    put_le32(&p.bytes[kInfoLengthOffset], lie);
    return p;
  }

  Piece bad_fcs() {
    if (type_ != MBIM_COMMAND_MSG || command_.service != kServiceQmbe ||
        command_.cid != kCidDiagPacket) {
      return noise();
    }
    // The signature the tool checks after BUSY, with a spoilt FCS.
    Bytes raw(kDiagWriteReplyHeader.begin(), kDiagWriteReplyHeader.end());
    const Bytes extra = random_bytes(below(5));
    raw.insert(raw.end(), extra.begin(), extra.end());
    const uint16_t fcs = static_cast<uint16_t>(fcs16(raw.data(), raw.size()) ^ between(1, 0xFFFF));
    raw.push_back(static_cast<uint8_t>(fcs & 0xFF));
    raw.push_back(static_cast<uint8_t>(fcs >> 8));
    return piece_of(
        command_done(other_command(kServiceQmbe, kCidDiagPacket), 0, hdlc_escape(raw)));
  }

  Piece at_reply() {
    size_t size;
    switch (below(3)) {
      case 0: size = below(65); break;
      case 1: size = between(100, 600); break;
      default: size = between(3000, 6000); break;  // past the 4096-byte receive buffer
    }
    Bytes info(kAtLeadingWordSize, 0);
    const bool printable = one_in(2);
    for (size_t i = 0; i < size; ++i) {
      const uint8_t b = static_cast<uint8_t>((*random_)());
      info.push_back(printable ? static_cast<uint8_t>(0x20 + b % 0x5F) : b);
    }
    return piece_of(command_done(other_command(kServiceAtTunnel, kCidAtCommand), 0, info));
  }

  Piece noise() {
    if (one_in(2)) {
      return piece_of(indicate_status(kServiceBasicConnect, kCidSignalState, random_bytes(20)));
    }
    return piece_of(command_done(other_command(kServiceBasicConnect, kCidRadioState), 0, {}));
  }

  Bytes raw_;
  bool stream_;
  std::mt19937* random_;
  uint32_t type_ = 0;
  uint32_t tid_ = 0;
  uint32_t answer_type_ = 0;  // the type that answers the request; 0: none does
  CommandRequest command_;
};

// Splits a transfer of `size` bytes into one to four writes.
std::vector<size_t> write_sizes(size_t size, bool whole, Builder* b) {
  if (whole || size < 2 || b->one_in(2)) return {size};
  std::vector<size_t> cuts;
  const uint32_t n = b->between(1, 3);
  for (uint32_t i = 0; i < n; ++i) cuts.push_back(b->between(1, static_cast<uint32_t>(size - 1)));
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
  std::vector<size_t> sizes;
  size_t at = 0;
  for (size_t cut : cuts) {
    sizes.push_back(cut - at);
    at = cut;
  }
  sizes.push_back(size - at);
  return sizes;
}

}  // namespace

HostileBurst hostile_burst(const uint8_t* request, size_t length, uint32_t pieces, bool stream,
                           std::mt19937* random) {
  Builder b(request, length, stream, random);
  if (pieces < 3) pieces = 3;
  const uint32_t wrong_at = b.between(1, pieces - 2);
  const uint32_t answer_like_at = b.one_in(8) ? b.between(1, pieces - 2) : 0;

  HostileBurst burst;
  HostileTransfer current;
  uint32_t in_current = 0;
  uint32_t group = 1;
  auto flush = [&]() {
    if (current.bytes.empty()) return;
    current.writes = write_sizes(current.bytes.size(), current.whole_write, &b);
    burst.transfers.push_back(std::move(current));
    current = HostileTransfer{};
    in_current = 0;
    group = b.between(1, 3);
  };

  for (uint32_t i = 0; i < pieces; ++i) {
    Piece p = i == 0                ? b.first()
              : i == pieces - 1     ? b.last()
              : i == wrong_at       ? b.wrong_type_piece()
              : i == answer_like_at ? b.answer_like_piece()
                                    : b.any();
    b.keep_stream_in_step(&p);
    ++burst.pieces;
    burst.claiming += p.claiming ? 1 : 0;
    burst.answer_like += p.answer_like ? 1 : 0;

    const bool alone = p.whole_write || (stream && p.framing == Framing::kDrop);
    if (alone || in_current >= group) flush();
    current.bytes.insert(current.bytes.end(), p.bytes.begin(), p.bytes.end());
    ++in_current;
    if (alone) {
      current.whole_write = true;
      current.drops = p.framing == Framing::kDrop;
      flush();
    } else if (p.framing != Framing::kWhole) {
      // pty: nothing may follow what the receiver drops, or what it would
      // read a message's rest from.
      flush();
    }
  }
  flush();
  return burst;
}

}  // namespace tessel::sim

// diag_frame_test.cpp — the FCS, the escaping of outgoing DIAG packets and
// the decoding and checking of incoming frames, byte for byte.
//
// Expected FCS values and frames are written out by hand; where many packets
// are needed, a bit-by-bit FCS written here (no table) stands as the
// independent reference.
#include "mbim_protocol/diag_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "capture_log.h"

namespace tessel {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kMismatchFormat[] = "[tessel] diag: crc mismatch. expected: %x, sent %x.";
constexpr char kMalformedFormat[] = "[tessel] diag: malformed frame, length %d.";
constexpr char kOverflowFormat[] = "[tessel] diag: frame exceeds buffer of %d bytes.";
constexpr uint8_t kUntouched = 0xA5;

// RFC 1662 FCS-16 one bit at a time, straight from the polynomial.
uint16_t reference_fcs(const Bytes& bytes) {
  uint16_t reg = 0xFFFF;
  for (uint8_t b : bytes) {
    reg ^= b;
    for (int bit = 0; bit < 8; ++bit) reg = (reg & 1) ? (reg >> 1) ^ 0x8408 : reg >> 1;
  }
  return static_cast<uint16_t>(~reg);
}

// The raw packet as the sender builds it: payload, then its FCS low byte first.
Bytes with_fcs(Bytes payload) {
  const uint16_t fcs = reference_fcs(payload);
  payload.push_back(static_cast<uint8_t>(fcs & 0xFF));
  payload.push_back(static_cast<uint8_t>(fcs >> 8));
  return payload;
}

Bytes frame_of(const Bytes& raw) {
  Bytes out(diag_frame_capacity(raw.size()));
  out.resize(diag_frame(raw.data(), raw.size(), out.data()));
  return out;
}

struct Unframed {
  int result;
  Bytes data;
};

// Decodes a copy of the frame held in a block of exactly its size, so that a
// sanitizer build sees any read outside it.
Unframed unframe(const Bytes& frame) {
  const auto exact = std::make_unique<uint8_t[]>(frame.size());
  std::copy(frame.begin(), frame.end(), exact.get());
  Bytes out(frame.size());
  size_t n = 12345;
  const int r = diag_unframe(exact.get(), frame.size(), out.data(), out.size(), &n);
  out.resize(n);
  return {r, out};
}

// ---- diag_crc16 ----------------------------------------------------------

TEST(DiagCrc16, MatchesPublishedAndHandCheckedValues) {
  const uint8_t check[9] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(diag_crc16(check, sizeof check), 0x906E);
  const uint8_t one[1] = {0x00};
  EXPECT_EQ(diag_crc16(nullptr, 0), 0x0000);
  EXPECT_EQ(diag_crc16(one, 0), 0x0000);
  EXPECT_EQ(diag_crc16(one, 1), 0xF078);
  const uint8_t flag[1] = {0x7E};
  EXPECT_EQ(diag_crc16(flag, 1), 0x6A81);
  const uint8_t ff[1] = {0xFF};
  EXPECT_EQ(diag_crc16(ff, 1), 0xFF00);
  // The first read request of a table: 4B 0B 24 00 | 77 02 | 00 00 | 00 00 |
  // FD FF | running offset 00 00.
  const uint8_t read0[14] = {0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02, 0x00,
                             0x00, 0x00, 0x00, 0xFD, 0xFF, 0x00, 0x00};
  EXPECT_EQ(diag_crc16(read0, sizeof read0), 0xC1C5);
}

TEST(DiagCrc16, AgreesWithBitwiseReferenceAtEveryLengthAndAlignment) {
  std::mt19937 rng(7);
  Bytes data(1100);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  for (size_t start = 0; start < 8; ++start) {
    for (size_t len = 0; len <= 70; ++len) {
      const Bytes part(data.begin() + start, data.begin() + start + len);
      ASSERT_EQ(diag_crc16(data.data() + start, len), reference_fcs(part))
          << "start " << start << " length " << len;
    }
  }
  for (size_t len : {1023u, 1024u, 1039u, 1041u, 1099u}) {
    EXPECT_EQ(diag_crc16(data.data(), len), reference_fcs(Bytes(data.begin(), data.begin() + len)));
  }
}

TEST(DiagCrc16, PacketFollowedByItsFcsLeavesTheGoodResidue) {
  // RFC 1662's good-frame register value 0xF0B8, complemented: a receiver may
  // check a whole packet with its FCS this way.
  std::mt19937 rng(11);
  for (size_t len = 0; len < 300; len += 7) {
    Bytes payload(len);
    for (uint8_t& b : payload) b = static_cast<uint8_t>(rng());
    const Bytes raw = with_fcs(payload);
    EXPECT_EQ(diag_crc16(raw.data(), raw.size()), 0x0F47) << "length " << len;
  }
}

// ---- diag_frame ----------------------------------------------------------

TEST(DiagFrame, EscapesFlagAndEscapeBytesAndAppendsOneFlag) {
  // Payload 7E 2F 7D BC has the FCS 0x7E7E, so both FCS bytes escape too.
  const Bytes raw = {0x7E, 0x2F, 0x7D, 0xBC, /*FCS lo*/ 0x7E, /*FCS hi*/ 0x7E};
  const Bytes expected = {
      0x7D, 0x5E,  // 7E
      0x2F,        //
      0x7D, 0x5D,  // 7D
      0xBC,        //
      0x7D, 0x5E,  // FCS low 7E
      0x7D, 0x5E,  // FCS high 7E
      0x7E,        // closing flag
  };
  EXPECT_EQ(frame_of(raw), expected);
}

TEST(DiagFrame, EscapesAnFcsLowOrHighByteAlone) {
  // 7E 0E 7D → FCS 0x647D: only the low byte escapes.
  EXPECT_EQ(frame_of({0x7E, 0x0E, 0x7D, 0x7D, 0x64}),
            (Bytes{0x7D, 0x5E, 0x0E, 0x7D, 0x5D, /*lo*/ 0x7D, 0x5D, /*hi*/ 0x64, 0x7E}));
  // 7E 0F 7D → FCS 0x7DA5: only the high byte escapes.
  EXPECT_EQ(frame_of({0x7E, 0x0F, 0x7D, 0xA5, 0x7D}),
            (Bytes{0x7D, 0x5E, 0x0F, 0x7D, 0x5D, /*lo*/ 0xA5, /*hi*/ 0x7D, 0x5D, 0x7E}));
}

TEST(DiagFrame, ReadRequestNeedsNoEscapes) {
  const Bytes raw = {0x4B, 0x0B, 0x24, 0x00,  // command 4B, subsystem 0B, command 0x0024
                     0x77, 0x02,              // read operation 0x0277
                     0x00, 0x00, 0x00, 0x00,  // zero fields
                     0xFD, 0xFF,              // 0xFFFD
                     0xE8, 0x03,              // running offset 1000
                     0x07, 0xD4};             // FCS 0xD407
  Bytes expected = raw;
  expected.push_back(0x7E);
  EXPECT_EQ(frame_of(raw), expected);
}

TEST(DiagFrame, ItemNumberByte7DIsSentAsEscapePair) {
  const Bytes raw = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00,
                     0x81, 0x7D,  // item number 0x7D81
                     0x01, 0x00,  // chunk length 1
                     0x00,        // first chunk
                     0x42,        // the chunk
                     0x21, 0xF1};  // FCS 0xF121
  const Bytes expected = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00,
                          0x81, 0x7D, 0x5D,  // item number, its 7D escaped
                          0x01, 0x00, 0x00, 0x42, 0x21, 0xF1,
                          0x7E};  // closing flag
  EXPECT_EQ(frame_of(raw), expected);
}

TEST(DiagFrame, EmptyPacketIsTheFlagAlone) {
  uint8_t out[2] = {kUntouched, kUntouched};
  EXPECT_EQ(diag_frame(nullptr, 0, out), 1u);
  EXPECT_EQ(out[0], 0x7E);
  EXPECT_EQ(out[1], kUntouched);
}

TEST(DiagFrame, RefusesNullBuffers) {
  const uint8_t raw[2] = {0x01, 0x02};
  EXPECT_EQ(diag_frame(raw, 2, nullptr), 0u);
  uint8_t out[5] = {kUntouched, kUntouched, kUntouched, kUntouched, kUntouched};
  EXPECT_EQ(diag_frame(nullptr, 2, out), 0u);
  EXPECT_EQ(out[0], kUntouched);
}

TEST(DiagFrame, CapacityCoversTheLargestWritePacketFullyEscaped) {
  EXPECT_EQ(diag_frame_capacity(0), 1u);
  EXPECT_EQ(diag_frame_capacity(16), 33u);
  EXPECT_EQ(kMaxFrameSize, 2083u);  // 1041 raw bytes, all escaped, and the flag
  // A packet of nothing but flag bytes fills the capacity exactly and writes
  // nothing past it.
  const Bytes raw(1041, 0x7E);
  Bytes out(kMaxFrameSize + 8, kUntouched);
  ASSERT_EQ(diag_frame(raw.data(), raw.size(), out.data()), kMaxFrameSize);
  EXPECT_EQ(out[kMaxFrameSize - 1], 0x7E);
  for (size_t i = kMaxFrameSize; i < out.size(); ++i) EXPECT_EQ(out[i], kUntouched);
}

// The whole-chunk write must not lose its tail: 1024 flag bytes double to 2048
// escaped bytes, and the last of them, the FCS and the flag still follow.
TEST(DiagFrame, AllFlagBytesChunkArrivesWholeWithItsFcs) {
  Bytes payload = {0x4B,        // command code
                   0x0B,        // subsystem
                   0x24, 0x00,  // subsystem command 0x0024
                   0x78, 0x02,  // write operation 0x0278
                   0x00, 0x00,  // 0
                   0x00, 0x00,  // 0
                   0x81, 0xBB,  // item number 48001
                   0x00, 0x04,  // chunk length 1024
                   0x00};       // first chunk
  payload.insert(payload.end(), 1024, 0x7E);
  Bytes raw = payload;
  raw.push_back(0x7C);  // FCS 0xC57C, low byte
  raw.push_back(0xC5);  // high byte
  ASSERT_EQ(raw.size(), 1041u);
  ASSERT_EQ(diag_crc16(payload.data(), payload.size()), 0xC57C);

  Bytes out(kMaxFrameSize, kUntouched);
  const size_t n = diag_frame(raw.data(), raw.size(), out.data());
  ASSERT_EQ(n, 15u + 2048u + 2u + 1u);
  out.resize(n);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 15), Bytes(payload.begin(), payload.begin() + 15));
  for (size_t i = 15; i < 15 + 2048; i += 2) {
    ASSERT_EQ(out[i], 0x7D) << i;
    ASSERT_EQ(out[i + 1], 0x5E) << i;
  }
  EXPECT_EQ(Bytes(out.end() - 3, out.end()), (Bytes{0x7C, 0xC5, 0x7E}));

  const Unframed back = unframe(out);
  EXPECT_EQ(back.result, 0);
  EXPECT_EQ(back.data, payload);
}

// ---- diag_unframe: well-formed frames --------------------------------------

TEST(DiagUnframe, RoundTripsRandomPacketsOfEveryLength) {
  capture_log::clear();
  std::mt19937 rng(1662);
  for (size_t len = 0; len <= 1100; ++len) {
    // One byte in four is a flag or an escape, so escapes land everywhere.
    Bytes payload(len);
    for (uint8_t& b : payload) {
      const uint32_t r = rng();
      b = (r & 3) == 0 ? static_cast<uint8_t>(0x7D + ((r >> 2) & 1)) : static_cast<uint8_t>(r >> 8);
    }
    const Bytes raw = with_fcs(payload);
    Bytes out(diag_frame_capacity(raw.size()) + 4, kUntouched);
    const size_t n = diag_frame(raw.data(), raw.size(), out.data());
    ASSERT_LE(n, diag_frame_capacity(raw.size()));
    for (size_t i = n; i < out.size(); ++i) ASSERT_EQ(out[i], kUntouched) << "length " << len;
    out.resize(n);
    ASSERT_EQ(out.back(), 0x7E);
    if (n < 5) continue;  // too short to be accepted; see the bad-input tests
    const Unframed back = unframe(out);
    ASSERT_EQ(back.result, 0) << "length " << len;
    ASSERT_EQ(back.data, payload) << "length " << len;
  }
  EXPECT_TRUE(capture_log::records().empty());
}

TEST(DiagUnframe, RoundTripsPacketsWhoseFcsBytesNeedEscaping) {
  // Search 4-byte payloads for each way the two FCS bytes can need escaping,
  // and check the frame's tail as well as the round trip.
  struct Want {
    bool low_escaped;
    bool high_escaped;
  };
  const Want wants[] = {{true, false}, {false, true}, {true, true}};
  auto escaped = [](uint8_t b) { return b == 0x7D || b == 0x7E; };
  for (const Want& want : wants) {
    int found = 0;
    for (uint32_t seed = 0; seed < 200000 && found < 8; ++seed) {
      const Bytes payload = {static_cast<uint8_t>(seed), static_cast<uint8_t>(seed >> 8), 0x7D,
                             static_cast<uint8_t>(seed >> 16)};
      const uint16_t fcs = reference_fcs(payload);
      const uint8_t lo = static_cast<uint8_t>(fcs & 0xFF);
      const uint8_t hi = static_cast<uint8_t>(fcs >> 8);
      if (escaped(lo) != want.low_escaped || escaped(hi) != want.high_escaped) continue;
      ++found;
      const Bytes frame = frame_of(with_fcs(payload));
      Bytes tail;
      if (want.low_escaped) tail.insert(tail.end(), {0x7D, static_cast<uint8_t>(lo ^ 0x20)});
      else tail.push_back(lo);
      if (want.high_escaped) tail.insert(tail.end(), {0x7D, static_cast<uint8_t>(hi ^ 0x20)});
      else tail.push_back(hi);
      tail.push_back(0x7E);
      ASSERT_EQ(Bytes(frame.end() - static_cast<std::ptrdiff_t>(tail.size()), frame.end()), tail);
      const Unframed back = unframe(frame);
      EXPECT_EQ(back.result, 0) << "seed " << seed;
      EXPECT_EQ(back.data, payload) << "seed " << seed;
    }
    EXPECT_EQ(found, 8) << "low " << want.low_escaped << " high " << want.high_escaped;
  }
}

TEST(DiagUnframe, TakesAStrayEscapeUnchanged) {
  // 7D before an ordinary byte: 7D 41, FCS 0x1C76.
  Unframed r = unframe({0x7D, 0x41, /*FCS*/ 0x76, 0x1C, 0x7E});
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.data, (Bytes{0x7D, 0x41}));
  // 7D as the last data byte: 01 7D, FCS 0xBEFD.
  r = unframe({0x01, 0x7D, /*FCS*/ 0xFD, 0xBE, 0x7E});
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.data, (Bytes{0x01, 0x7D}));
  // 7D before an escape pair: 7D 7D 5E decodes to 7D 7E, FCS 0xD502.
  r = unframe({0x7D, 0x7D, 0x5E, /*FCS*/ 0x02, 0xD5, 0x7E});
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.data, (Bytes{0x7D, 0x7E}));
}

TEST(DiagUnframe, DoesNotExamineTheClosingFlag) {
  // Read request 0, FCS 0xC1C5, closed by a byte that is not a flag.
  const Bytes frame = {0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00, 0x00,
                       0x00, 0xFD, 0xFF, 0x00, 0x00, 0xC5, 0xC1, 0x00};
  EXPECT_EQ(unframe(frame).result, 0);
}

TEST(DiagUnframe, OutAndOutLengthAreOptional) {
  // 01 02 03, FCS computed by the reference.
  const Bytes frame = frame_of(with_fcs({0x01, 0x02, 0x03}));
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), nullptr, 0, nullptr), 0);
  size_t n = 99;
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), nullptr, 0, &n), 0);
  EXPECT_EQ(n, 3u);
  uint8_t out[3] = {0, 0, 0};
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), out, sizeof out, nullptr), 0);
  EXPECT_EQ(Bytes(out, out + 3), (Bytes{0x01, 0x02, 0x03}));
}

// ---- diag_unframe: failures --------------------------------------------------

TEST(DiagUnframe, CorruptedByteIsOneMismatchRecord) {
  // Read request 0 whose operation byte 77 arrived as 78: the data now has
  // the FCS 0x6C19, the frame still carries 0xC1C5.
  const Bytes frame = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00,
                       0x00, 0xFD, 0xFF, 0x00, 0x00, 0xC5, 0xC1, 0x7E};
  capture_log::clear();
  Bytes out(16, kUntouched);
  size_t n = 99;
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), out.data(), out.size(), &n), -1);
  EXPECT_EQ(n, 14u);  // the decoded count is still reported
  const auto records = capture_log::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].call, capture_log::Call::kSend2);
  EXPECT_EQ(records[0].level, 2u);
  EXPECT_EQ(records[0].file, "src/mbim_protocol");
  EXPECT_EQ(records[0].format, kMismatchFormat);
  EXPECT_EQ(records[0].values, (std::vector<uint32_t>{0x6C19, 0xC1C5}));
  EXPECT_EQ(records[0].text, "[tessel] diag: crc mismatch. expected: 6c19, sent c1c5.");
}

TEST(DiagUnframe, CorruptedFcsByteIsAMismatch) {
  // Read request 0 with its FCS high byte C1 arrived as C0.
  const Bytes frame = {0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00, 0x00,
                       0x00, 0xFD, 0xFF, 0x00, 0x00, 0xC5, 0xC0, 0x7E};
  capture_log::clear();
  EXPECT_EQ(unframe(frame).result, -1);
  const auto records = capture_log::with_format(kMismatchFormat);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].values, (std::vector<uint32_t>{0xC1C5, 0xC0C5}));
}

TEST(DiagUnframe, RefusesFramesTooShortToHoldAnFcs) {
  // "00 00 7E" would be an empty packet and "41 F5 A3 7E" the packet 41, but
  // nothing shorter than two escaped FCS bytes and a flag is accepted.
  const Bytes bytes = {0x41, 0xF5, 0xA3, 0x7E, 0x00};
  for (size_t len = 0; len < 5; ++len) {
    // A heap block of exactly len bytes, so that a sanitizer build sees any
    // read past it.
    const auto frame = std::make_unique<uint8_t[]>(len);
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(len), frame.get());
    capture_log::clear();
    size_t n = 99;
    uint8_t out[8] = {kUntouched};
    EXPECT_EQ(diag_unframe(frame.get(), len, out, sizeof out, &n), -1) << len;
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(out[0], kUntouched);
    const auto records = capture_log::records();
    ASSERT_EQ(records.size(), 1u) << len;
    EXPECT_EQ(records[0].format, kMalformedFormat);
    EXPECT_EQ(records[0].level, 8u);
    EXPECT_EQ(records[0].values, (std::vector<uint32_t>{static_cast<uint32_t>(len)}));
  }
  capture_log::clear();
  size_t n = 99;
  EXPECT_EQ(diag_unframe(nullptr, 17, nullptr, 0, &n), -1);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(capture_log::with_format(kMalformedFormat).size(), 1u);
}

// A sender always escapes 7E and 7D, so a raw one among the FCS bytes is a
// flag inside the frame or a cut escape. Each frame below would pass the FCS
// check if that byte were taken as it stands; it is refused all the same.
TEST(DiagUnframe, RefusesRawFlagOrEscapeAmongTheFcsBytes) {
  const std::vector<Bytes> frames = {
      {0x01, 0xDB, /*FCS 0x7EC1*/ 0xC1, 0x7E, 0x7E},  // high 7E raw
      {0x01, 0xE8, /*FCS 0x7DD9*/ 0xD9, 0x7D, 0x7E},  // high 7D raw, cut by the flag
      {0x01, 0x4D, /*FCS 0x8F7E*/ 0x7E, 0x8F, 0x7E},  // low 7E raw
      {0x03, 0x1B, /*FCS 0x8B7D*/ 0x7D, 0x8B, 0x7E},  // low 7D raw, no pair
  };
  for (const Bytes& frame : frames) {
    capture_log::clear();
    const Unframed r = unframe(frame);
    EXPECT_EQ(r.result, -1);
    EXPECT_TRUE(r.data.empty());
    EXPECT_EQ(capture_log::formats(), std::vector<std::string>{kMalformedFormat});
  }
  // The same packets with their FCS bytes escaped are accepted.
  EXPECT_EQ(unframe({0x01, 0xDB, 0xC1, 0x7D, 0x5E, 0x7E}).result, 0);
  EXPECT_EQ(unframe({0x01, 0xE8, 0xD9, 0x7D, 0x5D, 0x7E}).result, 0);
  EXPECT_EQ(unframe({0x01, 0x4D, 0x7D, 0x5E, 0x8F, 0x7E}).result, 0);
  EXPECT_EQ(unframe({0x03, 0x1B, 0x7D, 0x5D, 0x8B, 0x7E}).result, 0);
}

TEST(DiagUnframe, StopsAtOutCapacity) {
  const Bytes payload = {0x10, 0x7E, 0x12, 0x13, 0x7D, 0x15, 0x16, 0x17, 0x18, 0x19};
  const Bytes frame = frame_of(with_fcs(payload));

  capture_log::clear();
  Bytes out(payload.size() + 4, kUntouched);
  size_t n = 99;
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), out.data(), 9, &n), -1);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 9), Bytes(payload.begin(), payload.begin() + 9));
  for (size_t i = 9; i < out.size(); ++i) EXPECT_EQ(out[i], kUntouched) << i;
  auto records = capture_log::records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].format, kOverflowFormat);
  EXPECT_EQ(records[0].level, 8u);
  EXPECT_EQ(records[0].values, (std::vector<uint32_t>{9}));

  capture_log::clear();
  out.assign(out.size(), kUntouched);
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), out.data(), 0, &n), -1);
  EXPECT_EQ(out[0], kUntouched);

  // Exactly enough room is enough.
  EXPECT_EQ(diag_unframe(frame.data(), frame.size(), out.data(), payload.size(), &n), 0);
  EXPECT_EQ(n, payload.size());
  EXPECT_EQ(Bytes(out.begin(), out.begin() + 10), payload);
  EXPECT_EQ(out[10], kUntouched);
}

}  // namespace
}  // namespace tessel

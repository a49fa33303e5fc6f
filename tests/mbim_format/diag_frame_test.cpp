// diag_frame_test.cpp — the FCS, the escaping of outgoing DIAG packets and
// the decoding and checking of incoming frames, byte for byte.
//
// Expected FCS values and frames are written out by hand; where many packets
// are needed, the bit-by-bit FCS of reference_fcs.h stands as the
// independent reference.
#include "mbim_format/diag_frame.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "capture_log.h"
#include "mbim_format/protocol_log.h"
#include "reference_fcs.h"

namespace tessel {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr char kMismatchFormat[] = "[tessel] diag: crc mismatch. expected: %x, sent %x.";
constexpr char kMalformedFormat[] = "[tessel] diag: malformed frame, length %d.";
constexpr char kOverflowFormat[] = "[tessel] diag: frame exceeds buffer of %d bytes.";
constexpr uint8_t kUntouched = 0xA5;

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

TEST(DiagFrame, EmptyPacketIsTheFlagAloneAndNullBuffersAreRefused) {
  uint8_t out[2] = {kUntouched, kUntouched};
  EXPECT_EQ(diag_frame(nullptr, 0, out), 1u);
  EXPECT_EQ(out[0], 0x7E);
  EXPECT_EQ(out[1], kUntouched);
  const uint8_t raw[2] = {0x01, 0x02};
  EXPECT_EQ(diag_frame(raw, 2, nullptr), 0u);
  out[0] = kUntouched;
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

TEST(DiagUnframe, CorruptedDataOrFcsByteIsOneMismatchRecord) {
  struct Case {
    const char* what;
    Bytes frame;
    std::vector<uint32_t> values;  // FCS of the data, FCS carried
    const char* text;
  };
  const Case cases[] = {
      // Read request 0 whose operation byte 77 arrived as 78: the data now
      // has the FCS 0x6C19, the frame still carries 0xC1C5.
      {"data byte",
       {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFD, 0xFF, 0x00, 0x00, 0xC5,
        0xC1, 0x7E},
       {0x6C19, 0xC1C5},
       "[tessel] diag: crc mismatch. expected: 6c19, sent c1c5."},
      // Read request 0 with its FCS high byte C1 arrived as C0.
      {"FCS byte",
       {0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00, 0x00, 0x00, 0xFD, 0xFF, 0x00, 0x00, 0xC5,
        0xC0, 0x7E},
       {0xC1C5, 0xC0C5},
       "[tessel] diag: crc mismatch. expected: c1c5, sent c0c5."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    capture_log::clear();
    Bytes out(16, kUntouched);
    size_t n = 99;
    EXPECT_EQ(diag_unframe(c.frame.data(), c.frame.size(), out.data(), out.size(), &n), -1);
    EXPECT_EQ(n, 14u);  // the decoded count is still reported
    const auto records = capture_log::records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].call, capture_log::Call::kSend2);
    EXPECT_EQ(records[0].level, 2u);
    EXPECT_EQ(records[0].file, tessel::kProtocolLogFile);
    EXPECT_EQ(records[0].format, kMismatchFormat);
    EXPECT_EQ(records[0].values, c.values);
    EXPECT_EQ(records[0].text, c.text);
  }
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

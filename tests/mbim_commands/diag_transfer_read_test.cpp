// The table read over CID 25: the running offset, BUSY resends and the
// checks of each reply, against a scripted transport.
#include "mbim_commands/diag_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "capture_log.h"
#include "diag_test_util.h"
#include "fake_transport.h"

namespace {

using namespace diag_test;

// A framed read reply carrying `data` and claiming `read`/`remaining`.
fake_transport::Reply read_reply(uint16_t read, uint16_t remaining, std::vector<uint8_t> data) {
  std::vector<uint8_t> raw = {0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00,
                              0x0E, 0x00, 0x02, 0x00, 0xFD, 0xFF};
  raw.push_back(static_cast<uint8_t>(read));
  raw.push_back(static_cast<uint8_t>(read >> 8));
  raw.push_back(static_cast<uint8_t>(remaining));
  raw.push_back(static_cast<uint8_t>(remaining >> 8));
  raw.push_back(0);
  raw.push_back(0);
  raw.insert(raw.end(), data.begin(), data.end());
  return {{}, command_done(1, 0, frame(raw))};
}

TEST_F(DiagTransfer, ReadFollowsTheRunningOffsetToTheEnd) {
  const auto table = pattern(1500);
  fake_transport::push(read_reply(1000, 500, std::vector<uint8_t>(table.begin(), table.begin() + 1000)));
  fake_transport::push(busy());
  fake_transport::push(read_reply(500, 0, std::vector<uint8_t>(table.begin() + 1000, table.end())));
  std::vector<uint8_t> data(4096, 0);
  uint16_t total = 0;
  ASSERT_TRUE(tessel::mbim_GetSarValue(data.data(), data.size(), &total).ok());
  EXPECT_EQ(total, 1500);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 1500), table);
  auto r = fake_transport::requests();
  ASSERT_EQ(r.size(), 3u);
  const std::vector<uint8_t> first = {
      0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02,  // read
      0x00, 0x00, 0x00, 0x00, 0xFD, 0xFF,  // zero fields, FD FF
      0x00, 0x00,                          // running offset 0
  };
  const auto raw0 = unframe(info_of(r[0]));  // its FCS checked by the modem's decoder
  EXPECT_EQ(raw0, first);
  const auto raw1 = unframe(info_of(r[1]));
  const auto raw2 = unframe(info_of(r[2]));
  EXPECT_EQ(raw1[12], 0xE8);  // 1000
  EXPECT_EQ(raw1[13], 0x03);
  EXPECT_EQ(raw2, raw1);  // the resend after BUSY does not add the offset twice
}

TEST_F(DiagTransfer, ReadRefusesRepliesOverFourKilobytes) {
  fake_transport::push(read_reply(4097, 3, std::vector<uint8_t>(4097, 1)));
  std::vector<uint8_t> data(8192);
  uint16_t total = 0;
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total).code, tessel::Code::kBadReply);
  EXPECT_EQ(total, 4100);
  EXPECT_EQ(capture_log::with_format("[tessel] ERROR:too long msg,BytesReadLen:%zd,BytesRemainingLen:%zd")
                .size(),
            1u);
}

// The running offset a read request carries (bytes 12 and 13 of the raw packet).
uint16_t offset_of(const std::vector<uint8_t>& request) {
  const auto raw = unframe(info_of(request));
  return static_cast<uint16_t>(raw.at(12) | raw.at(13) << 8);
}

TEST_F(DiagTransfer, ReadEndsWithTheReplyThatEndsTheTableHoweverManyCameBefore) {
  struct Case {
    size_t size;   // table bytes
    size_t chunk;  // bytes per reply, the last one carries the rest
  };
  // Twelve and fifty replies (more than any fixed budget), and the largest
  // table a 16-bit offset can reach, into a buffer of exactly its size.
  for (const Case c : {Case{120, 10}, Case{50, 1}, Case{65535, 4096}}) {
    SCOPED_TRACE(c.size);
    SetUp();
    const auto table = pattern(c.size);
    size_t replies = 0;
    for (size_t at = 0; at < c.size; at += c.chunk, ++replies) {
      const size_t n = std::min(c.chunk, c.size - at);
      fake_transport::push(read_reply(static_cast<uint16_t>(n), static_cast<uint16_t>(c.size - at - n),
                                      std::vector<uint8_t>(table.begin() + at, table.begin() + at + n)));
    }
    std::vector<uint8_t> data(c.size, 0);
    uint16_t total = 0;
    ASSERT_TRUE(tessel::mbim_GetSarValue(data.data(), data.size(), &total).ok());
    EXPECT_EQ(total, c.size);
    EXPECT_EQ(data, table);
    const auto r = fake_transport::requests();
    ASSERT_EQ(r.size(), replies);
    EXPECT_EQ(offset_of(r.back()), (replies - 1) * c.chunk);
  }
}

TEST_F(DiagTransfer, ReadRefusesRepliesThatDoNotContinueTheTable) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint16_t, uint16_t>> replies;  // BytesReadLen, BytesRemainingLen
    tessel::Code result;
    const char* record;
    std::vector<uint32_t> values;
  };
  const Case cases[] = {
      // 1 + 65535 would wrap to an empty table in 16 bits.
      {"over 65535", {{1, 65535}}, tessel::Code::kReadOverflow,
       "[tessel] ERROR:table too long,total:%u,limit:%u", {65536, 65535}},
      {"more than remain", {{100, 50}, {60, 0}}, tessel::Code::kBadReply,
       "[tessel] ERROR:reply longer than the rest,offset:%u,BytesReadLen:%u,total:%u", {100, 60, 150}},
      {"no data", {{100, 50}, {0, 50}}, tessel::Code::kBadReply,
       "[tessel] ERROR:empty reply,offset:%u,total:%u", {100, 150}},
      {"total shrinks", {{100, 50}, {40, 5}}, tessel::Code::kBadReply,
       "[tessel] ERROR:total changed,total:%u,offset:%u,BytesReadLen:%u,BytesRemainingLen:%u",
       {150, 100, 40, 5}},
      {"ends short of the total", {{100, 50}, {40, 0}}, tessel::Code::kBadReply,
       "[tessel] ERROR:total changed,total:%u,offset:%u,BytesReadLen:%u,BytesRemainingLen:%u",
       {150, 100, 40, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    for (const auto& [read, remaining] : c.replies)
      fake_transport::push(read_reply(read, remaining, std::vector<uint8_t>(read, 0xA5)));
    std::vector<uint8_t> data(4096, 0);
    uint16_t total = 0xBEEF;
    EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total).code, c.result);
    const auto refused = capture_log::with_format(c.record);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].values, c.values);
    EXPECT_EQ(refused[0].level, 8u);
    // No request after the refusal; nothing of the refused reply copied.
    EXPECT_EQ(fake_transport::requests().size(), c.replies.size());
    const size_t before = c.replies.size() > 1 ? c.replies[0].first : 0;
    EXPECT_EQ(std::count(data.begin(), data.end(), 0xA5), static_cast<long>(before));
    // A size that cannot be told in 16 bits is not told.
    EXPECT_EQ(total, c.result == tessel::Code::kReadOverflow ? 0xBEEF : 150);
  }
}

TEST_F(DiagTransfer, ReadNeverWritesPastTheCallersBuffer) {
  // The first reply announces 200 bytes for a buffer of 150: refused before
  // any byte is copied, with the size the caller would need.
  fake_transport::push(read_reply(100, 100, std::vector<uint8_t>(100, 5)));
  fake_transport::push(read_reply(100, 0, std::vector<uint8_t>(100, 6)));
  std::vector<uint8_t> data(150, 0);
  uint16_t total = 0;
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total).code, tessel::Code::kReadOverflow);
  EXPECT_EQ(total, 200);
  EXPECT_EQ(data, std::vector<uint8_t>(150, 0));
  EXPECT_EQ(fake_transport::requests().size(), 1u);
  const auto refused = capture_log::with_format("[tessel] ERROR:buffer too small,total:%u,capacity:%u");
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].values, (std::vector<uint32_t>{200, 150}));
}

TEST_F(DiagTransfer, ReadRejectsABadFcsAndARepliesShortOfWhatTheyClaim) {
  auto bad = read_reply(10, 0, std::vector<uint8_t>(10, 1));
  bad.response[48 + 15] ^= 0x01;
  fake_transport::push(bad);
  std::vector<uint8_t> data(100);
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), nullptr).code, tessel::Code::kTransfer);
  fake_transport::push(read_reply(50, 0, std::vector<uint8_t>(10, 1)));
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), nullptr).code, tessel::Code::kTransfer);
}

TEST_F(DiagTransfer, ReadRefusesAReplyTooShortForItsCountsWithoutLoggingStaleOnes) {
  fake_transport::push(read_reply(10, 5, std::vector<uint8_t>(10, 1)));
  fake_transport::push({{}, command_done(2, 0, frame({0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02}))});
  std::vector<uint8_t> data(100);
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), nullptr).code, tessel::Code::kTransfer);
  // Only the first reply's counts are logged.
  EXPECT_EQ(capture_log::with_format("[tessel] BytesReadLen:%zd,BytesRemainingLen:%zd").size(), 1u);
  EXPECT_EQ(capture_log::with_format("[tessel] ERROR:short msg,received:%zd").size(), 1u);
}

}  // namespace

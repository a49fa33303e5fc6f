// The table read over CID 25: the running offset, BUSY resends and the
// checks of each reply, against a scripted transport.
#include "mbim_commands/diag_transfer.h"

#include <gtest/gtest.h>

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
  return {0, command_done(1, 0, frame(raw))};
}

TEST_F(DiagTransfer, ReadFollowsTheRunningOffsetToTheEnd) {
  const auto table = pattern(1500);
  fake_transport::push(read_reply(1000, 500, std::vector<uint8_t>(table.begin(), table.begin() + 1000)));
  fake_transport::push(busy());
  fake_transport::push(read_reply(500, 0, std::vector<uint8_t>(table.begin() + 1000, table.end())));
  std::vector<uint8_t> data(4096, 0);
  uint16_t total = 0;
  ASSERT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total), 0);
  EXPECT_EQ(total, 1500);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 1500), table);
  auto r = fake_transport::requests();
  ASSERT_EQ(r.size(), 3u);
  const std::vector<uint8_t> first = {
      0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02,  // read
      0x00, 0x00, 0x00, 0x00, 0xFD, 0xFF,  // zero fields, FD FF
      0x00, 0x00,                          // running offset 0
  };
  const auto raw0 = unescape(info_of(r[0]));
  ASSERT_EQ(raw0.size(), 16u);
  EXPECT_EQ(std::vector<uint8_t>(raw0.begin(), raw0.begin() + 14), first);
  const auto raw1 = unescape(info_of(r[1]));
  const auto raw2 = unescape(info_of(r[2]));
  EXPECT_EQ(raw1[12], 0xE8);  // 1000
  EXPECT_EQ(raw1[13], 0x03);
  EXPECT_EQ(raw2, raw1);  // the resend after BUSY does not add the offset twice
}

TEST_F(DiagTransfer, ReadRefusesRepliesOverFourKilobytes) {
  fake_transport::push(read_reply(4097, 3, std::vector<uint8_t>(4097, 1)));
  std::vector<uint8_t> data(8192);
  uint16_t total = 0;
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total), -2);
  EXPECT_EQ(total, 4100);
  EXPECT_EQ(capture_log::with_format("[tessel] ERROR:too long msg,BytesReadLen:%zd,BytesRemainingLen:%zd")
                .size(),
            1u);
}

TEST_F(DiagTransfer, ReadFailsOnTheTwelfthDataReplyAfterCopyingIt) {
  for (int i = 0; i < 12; ++i) fake_transport::push(read_reply(10, 100, std::vector<uint8_t>(10, uint8_t(i + 1))));
  std::vector<uint8_t> data(200, 0);
  uint16_t total = 0;
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total), -3);
  EXPECT_EQ(data[110], 12);  // the twelfth reply's bytes were copied
  EXPECT_EQ(capture_log::with_format("[tessel] ERROR:Max Loop,BytesReadLen:%zd,BytesRemainingLen:%zd").size(),
            1u);
}

TEST_F(DiagTransfer, ReadNeverWritesPastTheCallersBuffer) {
  fake_transport::push(read_reply(100, 100, std::vector<uint8_t>(100, 5)));
  fake_transport::push(read_reply(100, 0, std::vector<uint8_t>(100, 6)));
  std::vector<uint8_t> data(150, 0);
  uint16_t total = 0;
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), &total), tessel::kErrReadOverflow);
  EXPECT_EQ(data[100], 0);  // nothing of the second reply
}

TEST_F(DiagTransfer, ReadRejectsABadFcsAndARepliesShortOfWhatTheyClaim) {
  auto bad = read_reply(10, 0, std::vector<uint8_t>(10, 1));
  bad.response[48 + 15] ^= 0x01;
  fake_transport::push(bad);
  std::vector<uint8_t> data(100);
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), nullptr), -1);
  fake_transport::push(read_reply(50, 0, std::vector<uint8_t>(10, 1)));
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), nullptr), -1);
}

TEST_F(DiagTransfer, ReadRefusesAReplyTooShortForItsCountsWithoutLoggingStaleOnes) {
  fake_transport::push(read_reply(10, 5, std::vector<uint8_t>(10, 1)));
  fake_transport::push({0, command_done(2, 0, frame({0x4B, 0x0B, 0x24, 0x00, 0x77, 0x02}))});
  std::vector<uint8_t> data(100);
  EXPECT_EQ(tessel::mbim_GetSarValue(data.data(), data.size(), nullptr), -1);
  // Only the first reply's counts are logged.
  EXPECT_EQ(capture_log::with_format("[tessel] BytesReadLen:%zd,BytesRemainingLen:%zd").size(), 1u);
  EXPECT_EQ(capture_log::with_format("[tessel] ERROR:short msg,received:%zd").size(), 1u);
}

}  // namespace

// The QMBE switch, digest and apply commands: request bytes and answer reading.
#include "mbim_commands/sar_commands.h"

#include <gtest/gtest.h>

#include <array>

#include "capture_log.h"
#include "command_fixture.h"
#include "fake_transport.h"
#include "mbim_format/transaction_id.h"

namespace {

using fake_transport::command_done;

using command_test::info_of;
using SarCommands = command_test::CommandTest;

TEST_F(SarCommands, EnableSendsOneTwoForAnyNonZeroAndTwoTwoForZero) {
  for (int i = 0; i < 3; ++i) fake_transport::push({{}, command_done(1, 0, {})});
  EXPECT_TRUE(tessel::mbim_SetSarEnable(1).ok());
  EXPECT_TRUE(tessel::mbim_SetSarEnable(7).ok());
  EXPECT_TRUE(tessel::mbim_SetSarEnable(0).ok());
  auto r = fake_transport::requests();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(info_of(r[0]), (std::vector<uint8_t>{0x00, 0x12}));
  EXPECT_EQ(info_of(r[1]), (std::vector<uint8_t>{0x00, 0x12}));
  EXPECT_EQ(info_of(r[2]), (std::vector<uint8_t>{0x00, 0x22}));
  EXPECT_EQ(r[0][36], 21);  // CID
  EXPECT_EQ(r[0][40], 1);   // set
  const std::vector<std::string> entries = {"[tessel] (Value=1)", "[tessel] (Value=7)",
                                            "[tessel] (Value=0)"};
  EXPECT_EQ(capture_log::texts(), entries);
}

TEST_F(SarCommands, GetEnableReadsTheWordOrLeavesMinusOne) {
  fake_transport::push({{}, command_done(1, 0, {0, 0, 0, 0})});
  fake_transport::push({{}, command_done(2, 0, {0x00, 0x12, 0x00, 0x00})});
  fake_transport::push({{}, command_done(3, 0, {})});
  fake_transport::push({{}, command_done(4, 0, {0x05})});  // shorter than a word
  fake_transport::push({{}, command_done(5, 2, {0x05, 0, 0, 0})});
  int value = 9;
  EXPECT_TRUE(tessel::mbim_GetSarEnable(&value).ok());
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(tessel::mbim_GetSarEnable(&value).ok());
  EXPECT_EQ(value, 1);
  EXPECT_TRUE(tessel::mbim_GetSarEnable(&value).ok());
  EXPECT_EQ(value, -1);
  EXPECT_TRUE(tessel::mbim_GetSarEnable(&value).ok());
  EXPECT_EQ(value, 1);
  EXPECT_EQ(tessel::mbim_GetSarEnable(&value).mbim_status, 2u);
  EXPECT_EQ(value, -1);
  auto configs = capture_log::with_format("[tessel] \tdiag_config: %u");
  ASSERT_EQ(configs.size(), 3u);
  EXPECT_EQ(configs[1].text, "[tessel] \tdiag_config: 4608");
  EXPECT_EQ(configs[2].text, "[tessel] \tdiag_config: 5");
  EXPECT_EQ(fake_transport::requests()[0][40], 0);  // query
  EXPECT_EQ(fake_transport::requests()[0][44], 0);  // empty
}

TEST_F(SarCommands, Md5SendsTheItemBigEndianAndTakesOnlyExactlySixteenBytesOfASuccess) {
  std::vector<uint8_t> digest16(16);
  for (int i = 0; i < 16; ++i) digest16[i] = static_cast<uint8_t>(0xA0 + i);
  fake_transport::push({{}, command_done(1, 0, digest16)});
  fake_transport::push({{}, command_done(2, 0, std::vector<uint8_t>(20, 0x11))});
  fake_transport::push({{}, command_done(3, 0, std::vector<uint8_t>(16, 0x22), 20)});
  fake_transport::push({{}, command_done(4, 0, {})});
  fake_transport::push({tessel::Code::kNoChannel, {}});
  std::array<uint8_t, 16> digest{};
  EXPECT_TRUE(tessel::mbim_GetSarMd5(1, digest.data()).ok());
  EXPECT_TRUE(std::equal(digest.begin(), digest.end(), digest16.begin()));
  EXPECT_TRUE(tessel::mbim_GetSarMd5(48001, digest.data()).ok());  // 20 bytes: untouched
  EXPECT_TRUE(tessel::mbim_GetSarMd5(48001, digest.data()).ok());  // claims 20, holds 16
  EXPECT_TRUE(tessel::mbim_GetSarMd5(48001, digest.data()).ok());  // empty
  EXPECT_TRUE(capture_log::records().empty());
  EXPECT_EQ(tessel::mbim_GetSarMd5(48001, digest.data()).code, tessel::Code::kNoChannel);  // no answer
  EXPECT_TRUE(std::equal(digest.begin(), digest.end(), digest16.begin()));
  auto r = fake_transport::requests();
  EXPECT_EQ(info_of(r[0]), (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(info_of(r[1]), (std::vector<uint8_t>{0x00, 0x00, 0xBB, 0x81}));
  EXPECT_EQ(r[0][36], 22);
  EXPECT_EQ(r[0][40], 1);  // a set, though it only reads
}

TEST_F(SarCommands, ApplySendsTheLowItemBitsHighByteFirstAndWaitsThreeSeconds) {
  fake_transport::push({tessel::Code::kTimedOut, {}});
  fake_transport::push({{}, command_done(2, 2, {})});
  EXPECT_TRUE(tessel::mbim_SarApply(48001).ok());  // no answer: applied all the same
  EXPECT_EQ(tessel::mbim_SarApply(48001).mbim_status, 2u);
  auto r = fake_transport::requests();
  EXPECT_EQ(info_of(r[0]), (std::vector<uint8_t>{0xBB, 0x81}));
  EXPECT_EQ(r[0][36], 23);
  EXPECT_EQ(fake_transport::timeouts(), (std::vector<uint32_t>{3, 3}));
  const std::vector<std::string> logged = {
      "[tessel] (Value=bb81)",
      "[tessel] (Value=bb81)",
      "[tessel] MBIM_COMMAND_DONE status: (FAILURE)",
      "[tessel] err=0, Status=2",
  };
  EXPECT_EQ(capture_log::texts(), logged);
}

}  // namespace

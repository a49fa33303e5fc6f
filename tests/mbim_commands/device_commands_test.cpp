// Device commands that no flow runs yet: their request layouts and answers.
// The proxy configuration is checked byte for byte by the road tests.
#include "mbim_commands/device_commands.h"

#include <gtest/gtest.h>

#include "capture_log.h"
#include "command_fixture.h"
#include "fake_transport.h"
#include "byte_order/byte_order.h"

namespace {

using fake_transport::command_done;

using command_test::info_of;
using DeviceCommands = command_test::CommandTest;

TEST_F(DeviceCommands, SubscribeListSizesItsElementByTheCidCount) {
  fake_transport::push({{}, command_done(1, 0, {})});
  fake_transport::push({{}, command_done(2, 0, {})});
  ASSERT_TRUE(tessel::mbim_device_service_subscribe("a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", nullptr, 0).ok());
  const uint32_t cids[] = {2, 9};
  ASSERT_TRUE(tessel::mbim_device_service_subscribe("a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", cids, 2).ok());
  auto r = fake_transport::requests();
  const std::vector<uint8_t> empty = {
      1, 0, 0, 0,   // element count
      12, 0, 0, 0,  // element offset
      20, 0, 0, 0,  // element size: 20 + 4n
      0xa2, 0x89, 0xcc, 0x33, 0xbc, 0xbb, 0x8b, 0x4f,
      0xb6, 0xb0, 0x13, 0x3e, 0xc2, 0xaa, 0xe6, 0xdf,  // service
      0, 0, 0, 0,   // CID count
  };
  EXPECT_EQ(info_of(r[0]), empty);
  auto two = info_of(r[1]);
  ASSERT_EQ(two.size(), 40u);
  EXPECT_EQ(two[8], 28);
  EXPECT_EQ(two[28], 2);
  EXPECT_EQ(two[32], 2);
  EXPECT_EQ(two[36], 9);
  EXPECT_EQ(r[1][36], 19);
  EXPECT_EQ(capture_log::texts().front(), "[tessel] (uuid=a289cc33-bcbb-8b4f-b6b0-133ec2aae6df)");
}

TEST_F(DeviceCommands, MsSarConfigLayout) {
  fake_transport::push({{}, command_done(1, 0, {})});
  ASSERT_TRUE(tessel::mbim_ms_sar_config(3).ok());
  auto req = fake_transport::requests().at(0);
  const std::vector<uint8_t> expected = {0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00,
                                         0x00, 0x00, 0x14, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00,
                                         0xff, 0xff, 0xff, 0xff, 0x03, 0x00, 0x00, 0x00};
  EXPECT_EQ(info_of(req), expected);
  EXPECT_EQ(req[20], 0x68);  // the SAR-control service, parsed from its upper-case text
  EXPECT_EQ(req[23], 0x04);
}

// A device-caps answer with the HardwareInfo string at `offset` of `size`.
std::vector<uint8_t> caps(uint32_t offset, uint32_t size, size_t total = 200) {
  std::vector<uint8_t> info(total, 0);
  tessel::put_le32(&info[56], offset);
  tessel::put_le32(&info[60], size);
  for (size_t i = 64; i < total; i += 2) info[i] = static_cast<uint8_t>('a' + (i - 64) / 2 % 26);
  return info;
}

TEST_F(DeviceCommands, CapsTextIsTheLowBytesCutTo31CharactersAndStringsOutsideAreSkipped) {
  struct Case {
    const char* what;
    uint32_t offset;
    uint32_t size;
    size_t capacity;
    const char* copied;
    const char* logged;  // nullptr: no HardwareInfo record
  };
  const Case cases[] = {
      {"100 bytes", 64, 100, 64, "abcdefghijklmnopqrstuvwxyzabcde",  // 31 characters
       "[tessel] HardwareInfo: abcdefghijklmnopqrstuvwxyzabcde"},
      {"odd size", 64, 7, 64, "abcd", "[tessel] HardwareInfo: abcd"},  // byte offsets 0, 2, 4, 6
      {"copy always terminated", 64, 40, 5, "abcd", "[tessel] HardwareInfo: abcdefghijklmnopqrst"},
      {"runs past the end", 190, 20, 8, "", nullptr},
      {"offset + size wraps", 0xFFFFFFF0, 32, 8, "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    capture_log::clear();
    fake_transport::push({{}, command_done(1, 0, caps(c.offset, c.size))});
    std::vector<char> hw(c.capacity + 1, 'x');  // one byte past the capacity given
    hw.back() = '\0';
    ASSERT_TRUE(tessel::mbim_device_caps_query(hw.data(), c.capacity).ok());
    EXPECT_STREQ(hw.data(), c.copied);
    const auto r = capture_log::with_format("[tessel] HardwareInfo: %s");
    ASSERT_EQ(r.size(), c.logged == nullptr ? 0u : 1u);
    if (c.logged != nullptr) {
      EXPECT_EQ(r[0].text, c.logged);
    }
    EXPECT_TRUE(capture_log::with_format("[tessel] DeviceId:     %s").empty());  // offset 0: skipped
  }
}

TEST_F(DeviceCommands, RadioStateGoesToBasicConnectOrTheAlternative) {
  fake_transport::push({{}, command_done(1, 0, {1, 0, 0, 0, 0, 0, 0, 0})});
  fake_transport::push({{}, command_done(2, 0, {})});
  fake_transport::push({{}, command_done(3, 0, {1, 0, 0, 0})});  // one word only
  tessel::RadioState state{-5, -5};
  ASSERT_TRUE(tessel::mbim_radio_state_query(&state, 0).ok());
  EXPECT_EQ(state.hw, 1);
  EXPECT_EQ(state.sw, 0);
  ASSERT_TRUE(tessel::mbim_radio_state_query(&state, 1).ok());
  state = {-5, -5};
  ASSERT_TRUE(tessel::mbim_radio_state_set(1, 0).ok());
  EXPECT_EQ(state.hw, -5);
  auto r = fake_transport::requests();
  EXPECT_EQ(r[0][20], 0xa2);  // basic connect
  EXPECT_EQ(r[0][36], 3);
  EXPECT_EQ(r[1][20], 0x11);  // 11223344-…
  EXPECT_EQ(r[1][36], 1);
  EXPECT_EQ(info_of(r[2]), (std::vector<uint8_t>{1, 0, 0, 0}));
  EXPECT_EQ(capture_log::with_format("[tessel] HwRadioState: %d, SwRadioState: %d").size(), 1u);
}

TEST_F(DeviceCommands, OpenAndCloseIgnoreAMissingAnswerButNotAFailedWrite) {
  std::vector<uint8_t> close_done(16, 0);
  tessel::put_le32(&close_done[0], 0x80000002);  // MBIM_CLOSE_DONE
  tessel::put_le32(&close_done[4], 16);
  tessel::put_le32(&close_done[8], 2);
  tessel::put_le32(&close_done[12], 2);          // Status FAILURE: not judged
  std::vector<uint8_t> error(16, 0);
  tessel::put_le32(&error[0], 0x80000004);  // MBIM_FUNCTION_ERROR_MSG, ErrorStatusCode 0
  tessel::put_le32(&error[4], 16);
  tessel::put_le32(&error[8], 4);
  fake_transport::push({tessel::Code::kTimedOut, {}});
  fake_transport::push({{}, close_done});
  fake_transport::push({tessel::Code::kWriteFailed, {}});
  fake_transport::push({{}, error});
  EXPECT_TRUE(tessel::mbim_open().ok());
  EXPECT_TRUE(tessel::mbim_close().ok());
  EXPECT_EQ(tessel::mbim_open().code, tessel::Code::kWriteFailed);
  EXPECT_EQ(tessel::mbim_close().code, tessel::Code::kFunctionError) << "a function error refuses it";
  auto r = fake_transport::requests();
  ASSERT_EQ(r[0].size(), 16u);
  EXPECT_EQ(r[0][0], 1);                                    // MBIM_OPEN_MSG
  EXPECT_EQ(tessel::get_le32(&r[0][12]), 4096u);            // MaxControlTransfer
  EXPECT_EQ(r[1].size(), 12u);
  EXPECT_EQ(r[1][0], 2);                                    // MBIM_CLOSE_MSG
  EXPECT_EQ(tessel::get_le32(&r[1][8]), tessel::get_le32(&r[0][8]) + 1);  // next TransactionId
  EXPECT_TRUE(capture_log::with_format("[tessel] err=%d, Status=%d").empty());
}

}  // namespace

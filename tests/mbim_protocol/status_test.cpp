// decode_status: which field each response type carries, its name, its record.
#include "mbim_protocol/status.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture_log.h"
#include "mbim_protocol/wire.h"

namespace {

std::vector<uint8_t> message(uint32_t type, size_t size, size_t status_at, uint32_t status) {
  std::vector<uint8_t> m(size, 0);
  tessel::put_le32(&m[0], type);
  tessel::put_le32(&m[4], static_cast<uint32_t>(size));
  if (status_at + 4 <= size) tessel::put_le32(&m[status_at], status);
  return m;
}

uint32_t decode(const std::vector<uint8_t>& m) { return tessel::decode_status(m.data(), m.size()); }

TEST(DecodeStatus, SuccessLogsNothingAndYieldsZero) {
  capture_log::clear();
  EXPECT_EQ(decode(message(0x80000003, 48, 40, 0)), 0u);
  EXPECT_EQ(decode(message(0x80000001, 16, 12, 0)), 0u);
  EXPECT_TRUE(capture_log::records().empty());
}

TEST(DecodeStatus, CommandDoneStatusIsNamedAndReturnedUnchanged) {
  capture_log::clear();
  EXPECT_EQ(decode(message(0x80000003, 48, 40, 2)), 2u);
  EXPECT_EQ(decode(message(0x80000003, 48, 40, 11)), 11u);
  EXPECT_EQ(decode(message(0x80000003, 48, 40, 21)), 21u);
  EXPECT_EQ(decode(message(0x80000003, 48, 40, 13)), 13u);
  EXPECT_EQ(decode(message(0x80000003, 48, 40, 100)), 100u);
  const std::vector<std::string> expected = {
      "[tessel] MBIM_COMMAND_DONE status: (FAILURE)",
      "[tessel] MBIM_COMMAND_DONE status: (DATA_CLASS_NOT_AVAILABL)",
      "[tessel] MBIM_COMMAND_DONE status: (QBI_MBIM_STATUS_INVALID_PARAMETERS)",
      "[tessel] MBIM_COMMAND_DONE status: ()",
      "[tessel] MBIM_COMMAND_DONE status: ()",
  };
  EXPECT_EQ(capture_log::texts(), expected);
  for (const auto& r : capture_log::records()) {
    EXPECT_EQ(r.call, capture_log::Call::kSprintf);
    EXPECT_EQ(r.level, 2u);
    EXPECT_EQ(r.file, "src/mbim_protocol");
  }
}

TEST(DecodeStatus, OpenAndCloseDoneReadTheStatusAtTwelve) {
  capture_log::clear();
  EXPECT_EQ(decode(message(0x80000001, 16, 12, 1)), 1u);
  EXPECT_EQ(decode(message(0x80000002, 16, 12, 12)), 12u);
  const std::vector<std::string> expected = {
      "[tessel] MBIM_OPEN_DONE status: (BUSY)",
      "[tessel] MBIM_CLOSE_DONE status: (PACKET_SERVICE_DETACHED)",
  };
  EXPECT_EQ(capture_log::texts(), expected);
}

TEST(DecodeStatus, FunctionErrorUsesTheErrorTable) {
  capture_log::clear();
  EXPECT_EQ(decode(message(0x80000004, 16, 12, 3)), 3u);
  EXPECT_EQ(decode(message(0x80000004, 16, 12, 8)), 8u);
  EXPECT_EQ(decode(message(0x80000004, 16, 12, 9)), 9u);
  const std::vector<std::string> expected = {
      "[tessel] MBIM_FUNCTION_ERROR_MSG status: (LENGTH_MISMATCH = 3)",
      "[tessel] MBIM_FUNCTION_ERROR_MSG status: (MAX_TRANSFER)",
      "[tessel] MBIM_FUNCTION_ERROR_MSG status: ()",
  };
  EXPECT_EQ(capture_log::texts(), expected);
}

TEST(DecodeStatus, OtherTypesCarryNoStatus) {
  capture_log::clear();
  EXPECT_EQ(decode(message(0x80000007, 48, 40, 5)), 0u);  // indication
  EXPECT_EQ(decode(message(0x00000003, 48, 40, 5)), 0u);  // a command echoed back
  EXPECT_TRUE(capture_log::records().empty());
}

TEST(DecodeStatus, AStatusBeyondTheBytesHeldIsNotRead) {
  capture_log::clear();
  auto short_done = message(0x80000003, 40, 40, 0);  // ends where Status would start
  EXPECT_FALSE(tessel::status_field_held(short_done.data(), short_done.size()));
  EXPECT_EQ(decode(short_done), 0u);
  auto short_error = message(0x80000004, 12, 12, 0);
  EXPECT_FALSE(tessel::status_field_held(short_error.data(), short_error.size()));
  auto indication = message(0x80000007, 12, 12, 0);
  EXPECT_TRUE(tessel::status_field_held(indication.data(), indication.size()));
  EXPECT_TRUE(capture_log::records().empty());
}

}  // namespace

// decode_status: which field each response type carries, its name, its record.
#include "mbim_format/status.h"

#include <gtest/gtest.h>

#include <vector>

#include "capture_log.h"
#include "byte_order/byte_order.h"
#include "mbim_format/protocol_log.h"

namespace {

std::vector<uint8_t> message(uint32_t type, size_t size, size_t status_at, uint32_t status) {
  std::vector<uint8_t> m(size, 0);
  tessel::put_le32(&m[0], type);
  tessel::put_le32(&m[4], static_cast<uint32_t>(size));
  if (status_at + 4 <= size) tessel::put_le32(&m[status_at], status);
  return m;
}

TEST(DecodeStatus, EachTypeReadsItsOwnFieldNamesItFromItsTableAndReturnsItUnchanged) {
  struct Case {
    uint32_t type;
    size_t size;
    size_t status_at;
    uint32_t status;
    uint32_t returned;
    const char* record;  // nullptr: nothing logged
  };
  const Case cases[] = {
      {0x80000003, 48, 40, 0, 0, nullptr},  // success
      {0x80000001, 16, 12, 0, 0, nullptr},
      {0x80000003, 48, 40, 2, 2, "[tessel] MBIM_COMMAND_DONE status: (FAILURE)"},
      {0x80000003, 48, 40, 11, 11, "[tessel] MBIM_COMMAND_DONE status: (DATA_CLASS_NOT_AVAILABL)"},
      {0x80000003, 48, 40, 21, 21,
       "[tessel] MBIM_COMMAND_DONE status: (QBI_MBIM_STATUS_INVALID_PARAMETERS)"},
      {0x80000003, 48, 40, 13, 13, "[tessel] MBIM_COMMAND_DONE status: ()"},
      {0x80000003, 48, 40, 100, 100, "[tessel] MBIM_COMMAND_DONE status: ()"},
      {0x80000001, 16, 12, 1, 1, "[tessel] MBIM_OPEN_DONE status: (BUSY)"},
      {0x80000002, 16, 12, 12, 12, "[tessel] MBIM_CLOSE_DONE status: (PACKET_SERVICE_DETACHED)"},
      {0x80000004, 16, 12, 3, 3, "[tessel] MBIM_FUNCTION_ERROR_MSG status: (LENGTH_MISMATCH = 3)"},
      {0x80000004, 16, 12, 8, 8, "[tessel] MBIM_FUNCTION_ERROR_MSG status: (MAX_TRANSFER)"},
      {0x80000004, 16, 12, 9, 9, "[tessel] MBIM_FUNCTION_ERROR_MSG status: ()"},
      {0x80000007, 48, 40, 5, 0, nullptr},  // an indication carries no status
      {0x00000003, 48, 40, 5, 0, nullptr},  // nor does a command echoed back
      {0x80000003, 40, 40, 0, 0, nullptr},  // ends where Status would start
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.type << " status " << c.status);
    capture_log::clear();
    const auto m = message(c.type, c.size, c.status_at, c.status);
    EXPECT_EQ(tessel::decode_status(m.data(), m.size()), c.returned);
    const auto records = capture_log::records();
    if (c.record == nullptr) {
      EXPECT_TRUE(records.empty());
      continue;
    }
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].text, c.record);
    EXPECT_EQ(records[0].call, capture_log::Call::kSprintf);
    EXPECT_EQ(records[0].level, 2u);
    EXPECT_EQ(records[0].file, tessel::kProtocolLogFile);
  }
}

TEST(DecodeStatus, AStatusBeyondTheBytesHeldIsNotRead) {
  auto short_done = message(0x80000003, 40, 40, 0);  // ends where Status would start
  EXPECT_FALSE(tessel::status_field_held(short_done.data(), short_done.size()));
  auto short_error = message(0x80000004, 12, 12, 0);
  EXPECT_FALSE(tessel::status_field_held(short_error.data(), short_error.size()));
  auto indication = message(0x80000007, 12, 12, 0);
  EXPECT_TRUE(tessel::status_field_held(indication.data(), indication.size()));
}

}  // namespace

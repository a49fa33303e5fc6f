// decode_status: which field each response type carries, its name, its record;
// and the numbers a Status shows in the records.
#include "mbim_format/mbim_status.h"

#include <gtest/gtest.h>

#include <utility>
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
    const tessel::Status s = tessel::decode_status(m.data(), m.size());
    EXPECT_EQ(s.mbim_status, c.returned);
    EXPECT_EQ(s.code, c.returned == 0            ? tessel::Code::kOk
                      : c.type == 0x80000004 ? tessel::Code::kFunctionError
                                             : tessel::Code::kModemStatus);
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

// The numbers the "err=%d" records have always shown, made from the Status.
TEST(LegacyResult, EachCodeShowsItsNumber) {
  using tessel::Code;
  using tessel::Status;
  const std::pair<Status, int> cases[] = {
      {Code::kOk, 0},
      {Code::kNoChannel, -19},
      {Code::kTimedOut, 110},
      {Status::system(Code::kTimedOut, 22), 22},  // the wait's own result
      {Status::system(Code::kWriteFailed, 32), -1},
      {Status::modem(2), 2},
      {Status::function_error(5), 5},
      {Status::function_error(0), 71},
      {Code::kMalformedAnswer, -1},
      {Code::kTransfer, -1},
      {Code::kBadReply, -2},
      {Code::kReadOverflow, -4},
      {Status(Code::kStopped).at(tessel::Step::kWrite), -5},
      {Code::kTableChanged, -6},
      {Code::kLockBusy, -1},
      {Code::kLockUnusable, -2},
      {Status::system(Code::kStateNotKept, 30), -1},
  };
  for (const auto& [status, number] : cases) {
    EXPECT_EQ(tessel::legacy_result(status), number) << static_cast<int>(status.code);
  }
}

}  // namespace

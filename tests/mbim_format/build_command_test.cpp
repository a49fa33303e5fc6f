// MBIM_COMMAND_MSG layout and the TransactionId sequence.
#include "mbim_format/build_command.h"

#include <gtest/gtest.h>

#include <vector>

#include "mbim_format/transaction_id.h"

namespace {

using tessel::build_command;
using tessel::next_transaction_id;
using tessel::set_transaction_counter;

std::vector<uint8_t> bytes(const tessel::MessagePtr& m, size_t n) {
  return std::vector<uint8_t>(m.get(), m.get() + n);
}

TEST(TransactionId, StartsAtOneSkipsTheMiddleValueAndWrapsFromTheTopBackToOne) {
  set_transaction_counter(0);
  EXPECT_EQ(next_transaction_id(), 1u);
  EXPECT_EQ(next_transaction_id(), 2u);
  set_transaction_counter(2147483646u);
  EXPECT_EQ(next_transaction_id(), 2147483646u);
  EXPECT_EQ(next_transaction_id(), 2147483648u);  // 0x7FFFFFFF is never issued
  EXPECT_EQ(next_transaction_id(), 2147483649u);
  set_transaction_counter(4294967295u);
  EXPECT_EQ(next_transaction_id(), 4294967295u);
  EXPECT_EQ(next_transaction_id(), 1u);  // never 0
  EXPECT_EQ(next_transaction_id(), 2u);
}

// A run after one that left an id unanswered starts after it; the values the
// counter never issues stay skipped, and the last id issued is known.
TEST(TransactionId, StartingAfterAnEarlierRunsLastIdSkipsZeroAndTheMiddleValue) {
  const struct {
    uint32_t last;
    uint32_t first;
  } cases[] = {{0, 1}, {41, 42}, {2147483646u, 2147483648u}, {2147483647u, 2147483648u},
               {4294967295u, 1}};
  for (const auto& c : cases) {
    tessel::start_transaction_ids_after(c.last);
    EXPECT_EQ(next_transaction_id(), c.first) << "after " << c.last;
    EXPECT_EQ(tessel::last_transaction_id(), c.first);
  }
}

TEST(BuildCommand, EmptyPayloadGivesTheBare48ByteMessage) {
  set_transaction_counter(0);
  auto m = build_command(tessel::kUuidQmbe, 21, 0, nullptr, 0);
  ASSERT_TRUE(m);
  const std::vector<uint8_t> expected = {
      0x03, 0x00, 0x00, 0x00,  // MessageType: MBIM_COMMAND_MSG
      0x30, 0x00, 0x00, 0x00,  // MessageLength: 48
      0x01, 0x00, 0x00, 0x00,  // TransactionId: 1
      0x01, 0x00, 0x00, 0x00,  // TotalFragments
      0x00, 0x00, 0x00, 0x00,  // CurrentFragment
      0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,  // DeviceServiceId
      0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c,  //   (QMBE, text order)
      0x15, 0x00, 0x00, 0x00,  // CID 21
      0x00, 0x00, 0x00, 0x00,  // CommandType: query
      0x00, 0x00, 0x00, 0x00,  // InformationBufferLength
  };
  EXPECT_EQ(bytes(m, 48), expected);
}

TEST(BuildCommand, PayloadIsCopiedAndAnAbsentPayloadIsZeroFilled) {
  set_transaction_counter(0);
  const uint8_t payload[] = {0x00, 0x12};
  auto set = build_command(tessel::kUuidQmbe, 21, 1, payload, 2);
  auto zero = build_command(tessel::kUuidBasicConnect, 3, 1, nullptr, 4);
  ASSERT_TRUE(set && zero);
  EXPECT_EQ(bytes(set, 50)[4], 50);  // MessageLength
  EXPECT_EQ(bytes(set, 50)[8], 1);   // TransactionId 1
  EXPECT_EQ(std::vector<uint8_t>(set.get() + 40, set.get() + 50),
            (std::vector<uint8_t>{1, 0, 0, 0,  // CommandType: set
                                  2, 0, 0, 0,  // InformationBufferLength
                                  0x00, 0x12}));  // the payload unchanged
  EXPECT_EQ(bytes(zero, 52)[8], 2);  // TransactionId 2
  EXPECT_EQ(std::vector<uint8_t>(zero.get() + 48, zero.get() + 52), std::vector<uint8_t>(4, 0));
}

TEST(BuildCommand, SetInfoLengthRewritesBothLengthsAndAnOverflowingLengthIsRefused) {
  EXPECT_FALSE(build_command(tessel::kUuidQmbe, 25, 1, nullptr, 0xFFFFFFF0u));
  auto m = build_command(tessel::kUuidQmbe, 25, 1, nullptr, 2083);
  ASSERT_TRUE(m);
  tessel::set_info_length(m.get(), 20);
  EXPECT_EQ(bytes(m, 48)[4], 68);   // MessageLength 48 + 20
  EXPECT_EQ(bytes(m, 48)[44], 20);  // InformationBufferLength
}

}  // namespace

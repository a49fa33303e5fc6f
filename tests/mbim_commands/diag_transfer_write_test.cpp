// The table write over CID 25: packets, chunking, BUSY retries and reply
// checks, against a scripted transport.
#include "mbim_commands/diag_transfer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "capture_log.h"
#include "diag_test_util.h"
#include "fake_transport.h"
#include "byte_order/byte_order.h"

namespace {

using namespace diag_test;

TEST_F(DiagTransfer, AnEmptyFileSendsNothing) {
  TableFile file({});
  EXPECT_TRUE(tessel::mbim_SetSarValue(file.path(), 48001).ok());
  EXPECT_TRUE(fake_transport::requests().empty());
  EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] (size=0)"});
}

TEST_F(DiagTransfer, AFileThatCannotBeReadFailsTheWrite) {
  EXPECT_EQ(tessel::mbim_SetSarValue("/nonexistent/sar.bin", 48001).code, tessel::Code::kFileUnreadable);
  EXPECT_TRUE(fake_transport::requests().empty());
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].level, 8u);
}

TEST_F(DiagTransfer, A1024ByteFileTravelsAsOneWholePacket) {
  const auto data = pattern(1024);
  TableFile file(data);
  fake_transport::push(write_ok());
  ASSERT_TRUE(tessel::mbim_SetSarValue(file.path(), 48001).ok());
  auto r = fake_transport::requests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0][36], 25);  // CID
  EXPECT_EQ(tessel::get_le32(&r[0][44]) + 48, r[0].size());  // lengths agree
  const auto raw = unframe(info_of(r[0]));  // its FCS checked by the modem's decoder
  ASSERT_EQ(raw.size(), 1039u);
  const std::vector<uint8_t> header = {
      0x4B, 0x0B, 0x24, 0x00,  // command code, subsystem, subsystem command
      0x78, 0x02,              // write
      0x00, 0x00, 0x00, 0x00,  // zero fields
      0x81, 0xBB,              // item 48001, low 16 bits
      0x00, 0x04,              // chunk length 1024
      0x00,                    // first chunk
  };
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.begin() + 15), header);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 15, raw.end()), data);
  EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] (size=1024)"});
}

TEST_F(DiagTransfer, LargerFilesAreCutInto1024ByteChunksWithTheLaterFlag) {
  struct Case {
    size_t size;
    std::vector<size_t> chunks;
  };
  std::vector<size_t> big(68, 1024);
  big.push_back(70000 - 68 * 1024);
  for (const Case& c : {Case{1, {1}}, Case{1025, {1024, 1}}, Case{3000, {1024, 1024, 952}},
                        Case{70000, big}}) {
    fake_transport::reset();
    const auto data = pattern(c.size);
    TableFile file(data);
    for (size_t i = 0; i < c.chunks.size(); ++i) fake_transport::push(write_ok());
    ASSERT_TRUE(tessel::mbim_SetSarValue(file.path(), 48001).ok()) << c.size;
    auto r = fake_transport::requests();
    ASSERT_EQ(r.size(), c.chunks.size()) << c.size;
    std::vector<uint8_t> reassembled;
    for (size_t i = 0; i < r.size(); ++i) {
      const auto raw = unframe(info_of(r[i]));
      const size_t n = c.chunks[i];
      ASSERT_EQ(raw.size(), 15 + n);
      EXPECT_EQ(tessel::get_le16(&raw[12]), n);
      EXPECT_EQ(raw[14], i == 0 ? 0 : 1);
      reassembled.insert(reassembled.end(), raw.begin() + 15, raw.begin() + 15 + n);
    }
    EXPECT_EQ(reassembled, data) << c.size;
  }
}

TEST_F(DiagTransfer, AChunkOfFlagBytesArrivesWholeWithItsFcs) {
  TableFile file(std::vector<uint8_t>(1024, 0x7E));
  fake_transport::push(write_ok());
  ASSERT_TRUE(tessel::mbim_SetSarValue(file.path(), 48001).ok());
  const auto info = info_of(fake_transport::requests().at(0));
  EXPECT_GE(info.size(), 15u + 2048 + 2 + 1);  // every data byte escaped, FCS, flag
  EXPECT_EQ(info.back(), 0x7E);
  const auto raw = unframe(info);
  ASSERT_EQ(raw.size(), 1039u);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 15, raw.end()), std::vector<uint8_t>(1024, 0x7E));
}

TEST_F(DiagTransfer, AnItemByteOfSevenDIsEscaped) {
  TableFile file({0x01});
  fake_transport::push(write_ok());
  ASSERT_TRUE(tessel::mbim_SetSarValue(file.path(), 0x7D01).ok());
  const auto info = info_of(fake_transport::requests().at(0));
  EXPECT_EQ(info[10], 0x01);
  EXPECT_EQ(info[11], 0x7D);
  EXPECT_EQ(info[12], 0x5D);
}

TEST_F(DiagTransfer, ThreeBusyAnswersThenSuccessGoOn) {
  TableFile file(pattern(2000));
  for (int i = 0; i < 3; ++i) fake_transport::push(busy());
  fake_transport::push(write_ok());  // verified
  fake_transport::push(write_ok());  // verified: three BUSY earn three checks
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(tessel::mbim_SetSarValue(file.path(), 48001).ok());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
  auto r = fake_transport::requests();
  ASSERT_EQ(r.size(), 5u);
  // Each resend is a new request with a new TransactionId and the same packet.
  EXPECT_NE(tessel::get_le32(&r[0][8]), tessel::get_le32(&r[1][8]));
  EXPECT_EQ(info_of(r[0]), info_of(r[3]));
  EXPECT_EQ(capture_log::with_format("[tessel] mbim status busy,now delay 200mS resend").size(), 3u);
  EXPECT_TRUE(capture_log::with_format("[tessel] MBIM_COMMAND_DONE status: (%s)").empty());
}

TEST_F(DiagTransfer, AFourthBusyAnswerFailsTheWrite) {
  TableFile file(pattern(10));
  for (int i = 0; i < 4; ++i) fake_transport::push(busy());
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001).code, tessel::Code::kTransfer);
  EXPECT_EQ(fake_transport::requests().size(), 4u);
  auto fail = capture_log::with_format("[tessel] (busy 3 timers retry fail)");
  ASSERT_EQ(fail.size(), 1u);
  EXPECT_EQ(fail[0].level, 8u);
  EXPECT_EQ(capture_log::with_format("[tessel] mbim status busy,now delay 200mS resend").size(), 4u);
}

TEST_F(DiagTransfer, OneBusyEarnsExactlyOneLaterCheck) {
  TableFile file(pattern(3000));
  fake_transport::push(busy());
  fake_transport::push(write_ok());             // answer to the resend: checked
  fake_transport::push(write_bad_signature());  // chunk 2: not examined
  fake_transport::push(write_bad_signature());  // chunk 3: not examined
  EXPECT_TRUE(tessel::mbim_SetSarValue(file.path(), 48001).ok());
}

TEST_F(DiagTransfer, TwoBusyAnswersCheckTheResendAndTheNextChunk) {
  TableFile file(pattern(3000));
  fake_transport::push(busy());
  fake_transport::push(busy());
  fake_transport::push(write_ok());             // resend: checked, passes
  fake_transport::push(write_bad_signature());  // chunk 2: checked, fails
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001).code, tessel::Code::kBadReply);
  auto first = capture_log::with_format(
      "[tessel] Error ,msg_len:%d \ndata[0]:%x,data[1]:%x,data[2]:%x,data[3]:%x,data[4]:%x,");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].call, capture_log::Call::kSendVar);
  EXPECT_EQ(first[0].values, (std::vector<uint32_t>{18, 0x4B, 0x0B, 0x24, 0x00, 0x78}));
  auto second = capture_log::with_format("[tessel] data[5]:%x,data[6]:%x,data[7]:%x,data[8]:%x,data[9]:%x,");
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].values, (std::vector<uint32_t>{0x02, 0x00, 0x00, 0x0F, 0x00}));
  auto third = capture_log::with_format("[tessel] data[10]:%x,data[11]:%x,data[12]:%x,data[13]:%x");
  ASSERT_EQ(third.size(), 1u);
  EXPECT_EQ(third[0].values, (std::vector<uint32_t>{0x02, 0x00, 0xFD, 0xFF}));
}

TEST_F(DiagTransfer, ACheckedReplyWithABadFcsOrTooShortFails) {
  TableFile file(pattern(10));
  fake_transport::push(busy());
  auto corrupt = write_ok();
  corrupt.response[48 + 3] ^= 0x01;
  fake_transport::push(corrupt);
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001).code, tessel::Code::kBadReply);
  EXPECT_EQ(capture_log::with_format("[tessel] diag: crc mismatch. expected: %x, sent %x.").size(), 1u);

  capture_log::clear();
  fake_transport::push(busy());
  fake_transport::push({{}, command_done(1, 0, frame({0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00}))});
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001).code, tessel::Code::kBadReply);
  EXPECT_EQ(capture_log::with_format(
                "[tessel] Error ,msg_len:%d \ndata[0]:%x,data[1]:%x,data[2]:%x,data[3]:%x,data[4]:%x,")
                .size(),
            1u);
}

TEST_F(DiagTransfer, ATransportFailureEndsTheWrite) {
  TableFile file(pattern(3000));
  fake_transport::push(write_ok());
  fake_transport::push({tessel::Code::kTimedOut, {}});
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001).code, tessel::Code::kTimedOut);
  EXPECT_EQ(fake_transport::requests().size(), 2u);
}

}  // namespace

// The table write and read over CID 25: packets, chunking, BUSY retries and
// reply checks, against a scripted transport.
#include "mbim_commands/diag_transfer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "capture_log.h"
#include "fake_transport.h"
#include "mbim_format/diag_frame.h"
#include "mbim_format/wire.h"

namespace {

using fake_transport::command_done;

// Undoes the escaping of a request frame, keeping the FCS, dropping the flag.
std::vector<uint8_t> unescape(const std::vector<uint8_t>& frame) {
  std::vector<uint8_t> raw;
  for (size_t i = 0; i + 1 < frame.size(); ++i) {
    if (frame[i] == 0x7D && i + 2 < frame.size()) {
      raw.push_back(frame[++i] ^ 0x20);
    } else {
      raw.push_back(frame[i]);
    }
  }
  return raw;
}

std::vector<uint8_t> info_of(const std::vector<uint8_t>& request) {
  return std::vector<uint8_t>(request.begin() + 48, request.end());
}

// A framed reply: raw bytes, their FCS low byte first, escaped, closing flag.
std::vector<uint8_t> frame(std::vector<uint8_t> raw) {
  const uint16_t fcs = tessel::diag_crc16(raw.data(), raw.size());
  raw.push_back(static_cast<uint8_t>(fcs));
  raw.push_back(static_cast<uint8_t>(fcs >> 8));
  std::vector<uint8_t> out;
  for (uint8_t b : raw) {
    if (b == 0x7E || b == 0x7D) {
      out.push_back(0x7D);
      out.push_back(b ^ 0x20);
    } else {
      out.push_back(b);
    }
  }
  out.push_back(0x7E);
  return out;
}

const std::vector<uint8_t> kSignature = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00,
                                         0x00, 0x0E, 0x00, 0x02, 0x00, 0xFD, 0xFF};

fake_transport::Reply write_ok() {
  std::vector<uint8_t> raw = kSignature;
  raw.push_back(0x00);
  raw.push_back(0x00);
  return {0, command_done(1, 0, frame(raw))};
}

fake_transport::Reply write_bad_signature() {
  std::vector<uint8_t> raw = kSignature;
  raw[8] = 0x0F;
  raw.push_back(0x00);
  return {0, command_done(1, 0, frame(raw))};
}

fake_transport::Reply busy() { return {0, command_done(1, 1, {})}; }

class TableFile {
 public:
  explicit TableFile(const std::vector<uint8_t>& bytes) {
    char name[] = "/tmp/tessel-table-XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    if (!bytes.empty()) {
      EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    close(fd);
  }
  ~TableFile() { unlink(path_.c_str()); }
  const char* path() const { return path_.c_str(); }

 private:
  std::string path_;
};

std::vector<uint8_t> pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

class DiagTransfer : public ::testing::Test {
 protected:
  void SetUp() override {
    fake_transport::reset();
    capture_log::clear();
  }
};

TEST_F(DiagTransfer, AnEmptyFileSendsNothing) {
  TableFile file({});
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 0);
  EXPECT_TRUE(fake_transport::requests().empty());
  EXPECT_EQ(capture_log::texts(), std::vector<std::string>{"[tessel] (size=0)"});
}

TEST_F(DiagTransfer, AFileThatCannotBeReadFailsTheWrite) {
  EXPECT_EQ(tessel::mbim_SetSarValue("/nonexistent/sar.bin", 48001), -1);
  EXPECT_TRUE(fake_transport::requests().empty());
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].level, 8u);
}

TEST_F(DiagTransfer, A1024ByteFileTravelsAsOneWholePacket) {
  const auto data = pattern(1024);
  TableFile file(data);
  fake_transport::push(write_ok());
  ASSERT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 0);
  auto r = fake_transport::requests();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0][36], 25);  // CID
  EXPECT_EQ(tessel::get_le32(&r[0][44]) + 48, r[0].size());  // lengths agree
  const auto raw = unescape(info_of(r[0]));
  ASSERT_EQ(raw.size(), 1041u);
  const std::vector<uint8_t> header = {
      0x4B, 0x0B, 0x24, 0x00,  // command code, subsystem, subsystem command
      0x78, 0x02,              // write
      0x00, 0x00, 0x00, 0x00,  // zero fields
      0x81, 0xBB,              // item 48001, low 16 bits
      0x00, 0x04,              // chunk length 1024
      0x00,                    // first chunk
  };
  EXPECT_EQ(std::vector<uint8_t>(raw.begin(), raw.begin() + 15), header);
  EXPECT_EQ(std::vector<uint8_t>(raw.begin() + 15, raw.begin() + 1039), data);
  const uint16_t fcs = tessel::diag_crc16(raw.data(), 1039);
  EXPECT_EQ(raw[1039], fcs & 0xFF);
  EXPECT_EQ(raw[1040], fcs >> 8);
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
    ASSERT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 0) << c.size;
    auto r = fake_transport::requests();
    ASSERT_EQ(r.size(), c.chunks.size()) << c.size;
    std::vector<uint8_t> reassembled;
    for (size_t i = 0; i < r.size(); ++i) {
      const auto raw = unescape(info_of(r[i]));
      const size_t n = c.chunks[i];
      ASSERT_EQ(raw.size(), 17 + n);
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
  ASSERT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 0);
  const auto info = info_of(fake_transport::requests().at(0));
  EXPECT_GE(info.size(), 15u + 2048 + 2 + 1);  // every data byte escaped, FCS, flag
  EXPECT_EQ(info.back(), 0x7E);
  size_t length = 0;
  std::vector<uint8_t> out(2048);
  ASSERT_EQ(tessel::diag_unframe(info.data(), info.size(), out.data(), out.size(), &length), 0);
  ASSERT_EQ(length, 1039u);
  EXPECT_EQ(std::vector<uint8_t>(out.begin() + 15, out.begin() + 1039), std::vector<uint8_t>(1024, 0x7E));
}

TEST_F(DiagTransfer, AnItemByteOfSevenDIsEscaped) {
  TableFile file({0x01});
  fake_transport::push(write_ok());
  ASSERT_EQ(tessel::mbim_SetSarValue(file.path(), 0x7D01), 0);
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
  ASSERT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 0);
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
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), -1);
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
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 0);
}

TEST_F(DiagTransfer, TwoBusyAnswersCheckTheResendAndTheNextChunk) {
  TableFile file(pattern(3000));
  fake_transport::push(busy());
  fake_transport::push(busy());
  fake_transport::push(write_ok());             // resend: checked, passes
  fake_transport::push(write_bad_signature());  // chunk 2: checked, fails
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), -2);
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
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), -2);
  EXPECT_EQ(capture_log::with_format("[tessel] diag: crc mismatch. expected: %x, sent %x.").size(), 1u);

  capture_log::clear();
  fake_transport::push(busy());
  fake_transport::push({0, command_done(1, 0, frame({0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00}))});
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), -2);
  EXPECT_EQ(capture_log::with_format(
                "[tessel] Error ,msg_len:%d \ndata[0]:%x,data[1]:%x,data[2]:%x,data[3]:%x,data[4]:%x,")
                .size(),
            1u);
}

TEST_F(DiagTransfer, ATransportFailureEndsTheWrite) {
  TableFile file(pattern(3000));
  fake_transport::push(write_ok());
  fake_transport::push({110, {}});
  EXPECT_EQ(tessel::mbim_SetSarValue(file.path(), 48001), 110);
  EXPECT_EQ(fake_transport::requests().size(), 2u);
}

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

// dump_message_test.cpp — the hex line, the header records and the body of
// each message type, as dump_message writes them in verbose mode (the
// end-to-end tests show there is no dump otherwise).
#include "mbim_dump/dump_message.h"

#include <string>

#include "dump_test_util.h"
#include "mbim_dump/hex_text.h"

namespace tessel {
namespace {

using namespace dump_test;

class DumpMessage : public ClearedLog {};

// A message of `size` bytes: header words, then `fill` bytes.
Bytes message(uint32_t type, uint32_t length, uint32_t transaction_id, size_t size,
              uint8_t fill = 0) {
  Bytes m(size, fill);
  put32(m, 0, type);
  put32(m, 4, length);
  put32(m, 8, transaction_id);
  return exact_copy(m);
}

// MBIM_COMMAND_MSG with a 4-byte InformationBuffer holding `first_word`.
Bytes command(const Bytes& service, uint32_t cid, uint32_t command_type, uint32_t first_word) {
  Bytes m = message(3, 52, 9, 52);
  put32(m, 12, 1);
  put_bytes(m, 20, service);
  put32(m, 36, cid);
  put32(m, 40, command_type);
  put32(m, 44, 4);
  put32(m, 48, first_word);
  return exact_copy(m);
}

// What the header records of a message say, after its hex line.
struct Header {
  std::string direction;  // "<" or ">"
  uint32_t length;
  std::string type_name;
  uint32_t transaction_id;
};

// The records after the hex line: the header as CloseIsHexLine... spells it
// out, then `contents`.
void expect_message(const Header& h, std::vector<Want> contents) {
  std::vector<Want> want = {
      {Call::kSprintf, "[tessel] " + h.direction + " Header:"},
      {Call::kSend1, "[tessel] MessageLength = " + std::to_string(h.length)},
      {Call::kSprintf, "[tessel] MessageType =  " + h.type_name},
      {Call::kSend1, "[tessel] TransactionId = " + std::to_string(h.transaction_id)},
      {Call::kSprintf, "[tessel] " + h.direction + " Contents:"},
  };
  want.insert(want.end(), contents.begin(), contents.end());
  expect_records(want, 1);
}

TEST_F(DumpMessage, CloseIsHexLineOf38CharactersAndHeaderWithoutContents) {
  const Bytes close = message(2, 12, 5, 12);
  dump(close);
  expect_records({
      {Call::kSprintf, "[tessel] > 02:00:00:00:0C:00:00:00:05:00:00:00:"},
      {Call::kSprintf, "[tessel] > Header:"},
      {Call::kSend1, "[tessel] MessageLength = 12"},
      {Call::kSprintf, "[tessel] MessageType =  MBIM_CLOSE_MSG"},
      {Call::kSend1, "[tessel] TransactionId = 5"},
      {Call::kSprintf, "[tessel] > Contents:"},
  });
  EXPECT_EQ(std::string(hex_line(">", close.data(), close.size())).size(), 38u);
}

TEST_F(DumpMessage, HexLineStopsAt4095CharactersInsideTheEntryOfByte1365) {
  // MessageType 0x80000005 (no body), bytes after the header all 0xAB.
  const Bytes m1364 = message(0x80000005, 1364, 1, 1364, 0xAB);
  dump(m1364);
  const std::string line1364 = capture_log::texts().at(0);
  EXPECT_EQ(line1364.size(), 9u + 4094u);
  EXPECT_EQ(line1364.substr(0, 47), "[tessel] < 05:00:00:80:54:05:00:00:01:00:00:00:");
  EXPECT_EQ(line1364.substr(line1364.size() - 6), "AB:AB:");

  for (size_t size : {size_t{1365}, size_t{2048}, size_t{5000}}) {
    capture_log::clear();
    const Bytes m = message(0x80000005, static_cast<uint32_t>(size), 1, size, 0xAB);
    dump(m);
    const std::string line = capture_log::texts().at(0);
    EXPECT_EQ(line.size(), 9u + 4095u) << size;
    EXPECT_EQ(line.substr(line.size() - 7), "AB:AB:A") << size;
  }
}

TEST_F(DumpMessage, OpenOpenDoneCloseDoneAndFunctionErrorShowTheirWordAt12) {
  struct Case {
    uint32_t type;
    uint32_t word;
    const char* direction;
    const char* name;
    const char* field;
  };
  for (const Case& c : {
           Case{0x00000001, 4096, ">", "MBIM_OPEN_MSG", "[tessel] MaxControlTransfer = 4096"},
           Case{0x80000001, 2, "<", "MBIM_OPEN_DONE", "[tessel] Status = 2"},
           Case{0x80000002, 0, "<", "MBIM_CLOSE_DONE", "[tessel] Status = 0"},
           Case{0x80000004, 3, "<", "MBIM_FUNCTION_ERROR_MSG", "[tessel] ErrorStatusCode = 3"}}) {
    SCOPED_TRACE(c.name);
    capture_log::clear();
    Bytes m = message(c.type, 16, 4, 16);
    put32(m, 12, c.word);
    dump(m);
    expect_message({c.direction, 16, c.name, 4},
                   {{Call::kSprintf, std::string("[tessel] ") + c.direction},
                    {Call::kSend1, c.field}});
  }
}

TEST_F(DumpMessage, UnknownTypesTakeDirectionFromTheHighBitAndStopAtContents) {
  struct Case {
    uint32_t type;
    const char* header;
    const char* name;
    const char* contents;
  };
  for (const Case& c : {
           Case{0x80000005, "[tessel] < Header:", "[tessel] MessageType =  MBIMMSGTypeUnknow",
                "[tessel] < Contents:"},
           Case{0x00000009, "[tessel] > Header:", "[tessel] MessageType =  MBIMMSGTypeUnknow",
                "[tessel] > Contents:"},
           Case{0x00000004, "[tessel] > Header:", "[tessel] MessageType =  MBIM_HOST_ERROR_MSG",
                "[tessel] > Contents:"},
       }) {
    capture_log::clear();
    dump(message(c.type, 16, 0, 16));
    const auto t = texts();
    ASSERT_EQ(t.size(), 6u) << c.type;
    EXPECT_EQ(t[1], c.header);
    EXPECT_EQ(t[3], c.name);
    EXPECT_EQ(t[5], c.contents);
  }
}

TEST_F(DumpMessage, CommandShowsServiceCidCommandTypeAndLength) {
  dump(command(kQmbe, 22, 0, 0));
  expect_message(
      {">", 52, "MBIM_COMMAND_MSG", 9},
      {{Call::kSprintf,
        "[tessel] > DeviceServiceId = uuid_qmbe (2d0c12c9-0e6a-495a-915c-8d174fe5d63c)"},
       {Call::kSprintf, "[tessel] > CID = Unknow (22)"},
       {Call::kSprintf, "[tessel] > CommandType = query"},
       {Call::kSend1, "[tessel] InformationBufferLength = 4"}});
  capture_log::clear();
  dump(command(kQmbe, 22, 2, 0));
  EXPECT_EQ(texts().at(8), "[tessel] > CommandType = set");
}

TEST_F(DumpMessage, BasicConnectCommandsForCid12And15ShowSessionIdQueryOrSet) {
  for (uint32_t cid : {12u, 15u}) {
    for (uint32_t command_type : {0u, 1u}) {
      capture_log::clear();
      dump(command(kBasicConnect, cid, command_type, 42));
      expect_records({{Call::kSend1, "[tessel] InformationBufferLength = 4"},
                      {Call::kSprintf, "[tessel] >"},
                      {Call::kSend1, "[tessel] SessionId = 42"}},
                     9);
    }
  }
  // Same CID of another service, and another basic-connect CID: no SessionId.
  capture_log::clear();
  dump(command(kQmbe, 12, 1, 42));
  EXPECT_EQ(texts().back(), "[tessel] InformationBufferLength = 4");
  capture_log::clear();
  dump(command(kBasicConnect, 11, 1, 42));
  EXPECT_EQ(texts().back(), "[tessel] InformationBufferLength = 4");
}

TEST_F(DumpMessage, CommandDoneShowsStatusThenDecodesTheBasicConnectBuffer) {
  Bytes info;
  put32(info, 0, 33);  // NwError
  put32(info, 4, 3);   // RegisterState: Home
  put32(info, 8, 1);   // RegisterMode: Automatic
  dump(command_done(kBasicConnect, 9, info));
  expect_message(
      {"<", 60, "MBIM_COMMAND_DONE", 7},
      {{Call::kSprintf,
        "[tessel] < DeviceServiceId = UUID_BASIC_CONNECT (a289cc33-bcbb-8b4f-b6b0-133ec2aae6df)"},
       {Call::kSprintf, "[tessel] < CID = MBIM_CID_REGISTER_STATE (9)"},
       {Call::kSprintf, "[tessel] < "},
       {Call::kSend1, "[tessel] Status = 0"},
       {Call::kSend1, "[tessel] InformationBufferLength = 12"},
       {Call::kSprintf, "[tessel] <"},
       {Call::kSend1, "[tessel] NwError = 33"},
       {Call::kSprintf, "[tessel] RegisterState = Home"},
       {Call::kSprintf, "[tessel] RegisterMode = Automatic"}});
}

TEST_F(DumpMessage, IndicationDecodesSignalState) {
  Bytes info;
  put32(info, 0, 20);   // Rssi
  put32(info, 4, 99);   // ErrorRate
  put32(info, 8, 5);    // SignalStrengthInterval
  put32(info, 12, 1);   // RssiThreshold
  put32(info, 16, 2);   // ErrorRateThreshold
  dump(indication(kBasicConnect, 11, info));
  expect_message(
      {"<", 64, "MBIM_INDICATE_STATUS_MSG", 0},
      {{Call::kSprintf,
        "[tessel] < DeviceServiceId = UUID_BASIC_CONNECT (a289cc33-bcbb-8b4f-b6b0-133ec2aae6df)"},
       {Call::kSprintf, "[tessel] < CID = MBIM_CID_SIGNAL_STATE (11)"},
       {Call::kSprintf, "[tessel] <"},
       {Call::kSend1, "[tessel] InformationBufferLength = 20"},
       {Call::kSprintf, "[tessel] <"},
       {Call::kSend1, "[tessel] Rssi = 20"},
       {Call::kSend1, "[tessel] ErrorRate = 99"},
       {Call::kSend1, "[tessel] SignalStrengthInterval = 5"},
       {Call::kSend1, "[tessel] RssiThreshold = 1"},
       {Call::kSend1, "[tessel] ErrorRateThreshold = 2"}});
}

TEST_F(DumpMessage, UndecodedCidsServicesAndEmptyBuffersStopAfterTheLength) {
  const Bytes ext = {0x3d, 0x01, 0xdc, 0xc5, 0xfe, 0xf5, 0x4d, 0x05,
                     0x0d, 0x3a, 0xbe, 0xf7, 0x05, 0x8e, 0x9a, 0xaf};
  Bytes info(60, 0);
  put32(info, 4, 1);
  struct Case {
    Bytes m;
    const char* last;
  };
  for (const Case& c : {
           Case{command_done(kBasicConnect, 11, info), "[tessel] InformationBufferLength = 60"},
           Case{indication(kBasicConnect, 15, info), "[tessel] InformationBufferLength = 60"},
           Case{indication(ext, 2, info), "[tessel] InformationBufferLength = 60"},
           Case{command_done(kQmbe, 9, info), "[tessel] InformationBufferLength = 60"},
           Case{command_done(kBasicConnect, 9, {}), "[tessel] InformationBufferLength = 0"},
           Case{indication(kBasicConnect, 2, {}), "[tessel] InformationBufferLength = 0"},
       }) {
    capture_log::clear();
    dump(c.m);
    EXPECT_EQ(texts().back(), c.last);
  }
  capture_log::clear();
  dump(indication(ext, 2, info));
  EXPECT_EQ(texts().at(6),
            "[tessel] < DeviceServiceId = UUID_BASIC_CONNECT_EXT "
            "(3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf)");
  EXPECT_EQ(texts().at(7), "[tessel] < CID = MBIM_CID_MS_NETWORK_BLACKL     IST (2)");
}

}  // namespace
}  // namespace tessel

// bounds_test.cpp — messages whose lengths, offsets and sizes point outside
// the bytes held. Each message is an exact-size heap block, so under
// AddressSanitizer any read past it fails the test; the records show that a
// field outside is left out rather than made up.
#include "dump_test_util.h"
#include "mbim_dump/dump_message.h"
#include "mbim_dump/info_decoders.h"

namespace tessel {
namespace {

using namespace dump_test;

class DumpBounds : public ClearedLog {};

Bytes first(const Bytes& m, size_t n) { return exact_copy(Bytes(m.begin(), m.begin() + n)); }

TEST_F(DumpBounds, ShortHeaderShowsOnlyTheWordsHeldAndFewerThanFourBytesNothing) {
  dump_message(nullptr, 0, 1);
  dump(exact_copy({0x03, 0x00, 0x00}));
  EXPECT_TRUE(capture_log::records().empty());
  const Bytes six = exact_copy({0x03, 0x00, 0x00, 0x00, 0x30, 0x00});
  dump(six);
  expect_records({
      {Call::kSprintf, "[tessel] > 03:00:00:00:30:00:"},
      {Call::kSprintf, "[tessel] > Header:"},
      {Call::kSprintf, "[tessel] MessageType =  MBIM_COMMAND_MSG"},
      {Call::kSprintf, "[tessel] > Contents:"},
  });
  capture_log::clear();
  const Bytes eight = exact_copy({0x01, 0x00, 0x00, 0x80, 0x10, 0x00, 0x00, 0x00});
  dump(eight);
  expect_records({
      {Call::kSprintf, "[tessel] < 01:00:00:80:10:00:00:00:"},
      {Call::kSprintf, "[tessel] < Header:"},
      {Call::kSend1, "[tessel] MessageLength = 16"},
      {Call::kSprintf, "[tessel] MessageType =  MBIM_OPEN_DONE"},
      {Call::kSprintf, "[tessel] < Contents:"},
  });
}

TEST_F(DumpBounds, MessageLengthShorterThanHeldBoundsTheDump) {
  // An open message whose MessageLength says 12: MaxControlTransfer (at 12)
  // lies beyond it and is not shown, nor is its byte in the hex line.
  const Bytes open = exact_copy({0x01, 0, 0, 0, 0x0C, 0, 0, 0, 0x01, 0, 0, 0, 0x00, 0x10, 0, 0});
  dump(open);
  expect_records({
      {Call::kSprintf, "[tessel] > 01:00:00:00:0C:00:00:00:01:00:00:00:"},
      {Call::kSprintf, "[tessel] > Header:"},
      {Call::kSend1, "[tessel] MessageLength = 12"},
      {Call::kSprintf, "[tessel] MessageType =  MBIM_OPEN_MSG"},
      {Call::kSend1, "[tessel] TransactionId = 1"},
      {Call::kSprintf, "[tessel] > Contents:"},
  });
  // A command done whose MessageLength ends at 48, though 12 information
  // bytes follow and are claimed: the decoder is given none of them.
  Bytes info(12, 0);
  put32(info, 4, 3);
  Bytes done = command_done(kBasicConnect, 9, info);
  put32(done, 4, 48);
  capture_log::clear();
  dump(done);
  EXPECT_EQ(texts().at(10), "[tessel] InformationBufferLength = 12");
  EXPECT_EQ(texts().at(11), "[tessel] <");
  EXPECT_EQ(texts().size(), 12u);
}

TEST_F(DumpBounds, MessageLengthLongerThanHeldStopsAtTheBytesHeld) {
  Bytes info;
  put32(info, 0, 1);  // NwError
  put32(info, 4, 3);  // RegisterState: Home; RegisterMode would be at 8
  Bytes done = command_done(kBasicConnect, 9, info);
  put32(done, 4, 4096);
  put32(done, 44, 12);
  dump(done);
  const auto t = texts();
  EXPECT_EQ(t.at(0).size(), 9u + 2u + 56u * 3u);  // the 56 bytes held
  EXPECT_EQ(t.at(2), "[tessel] MessageLength = 4096");
  ASSERT_EQ(t.size(), 14u);
  EXPECT_EQ(t[10], "[tessel] InformationBufferLength = 12");
  EXPECT_EQ(t[12], "[tessel] NwError = 1");
  EXPECT_EQ(t[13], "[tessel] RegisterState = Home");
}

TEST_F(DumpBounds, TruncatedCommandShowsTheFieldsThatAreThere) {
  Bytes full(52, 0);
  put32(full, 0, 3);
  put32(full, 4, 52);
  put_bytes(full, 20, kBasicConnect);
  put32(full, 36, 12);  // CID connect
  put32(full, 40, 1);
  put32(full, 44, 4);
  put32(full, 48, 42);  // SessionId
  const char* service =
      "[tessel] > DeviceServiceId = UUID_BASIC_CONNECT (a289cc33-bcbb-8b4f-b6b0-133ec2aae6df)";
  struct Case {
    size_t held;
    std::vector<std::string> after_contents;
  };
  for (const Case& c : {
           Case{30, {}},
           Case{38, {service}},
           Case{44, {service, "[tessel] > CID = MBIM_CID_CONNECT (12)",
                     "[tessel] > CommandType = set"}},
           Case{50, {service, "[tessel] > CID = MBIM_CID_CONNECT (12)",
                     "[tessel] > CommandType = set", "[tessel] InformationBufferLength = 4"}},
       }) {
    capture_log::clear();
    dump(first(full, c.held));
    const auto t = texts();
    ASSERT_GE(t.size(), 6u) << c.held;
    EXPECT_EQ(t[5], "[tessel] > Contents:") << c.held;
    EXPECT_EQ(std::vector<std::string>(t.begin() + 6, t.end()), c.after_contents) << c.held;
  }
}

TEST_F(DumpBounds, InformationBufferLengthLargerThanTheMessage) {
  // Indication claims 20 signal-state bytes; only 8 arrived.
  Bytes info;
  put32(info, 0, 20);
  put32(info, 4, 99);
  Bytes m = indication(kBasicConnect, 11, info);
  put32(m, 40, 20);
  dump(m);
  const auto t = texts();
  ASSERT_EQ(t.size(), 13u);
  EXPECT_EQ(t[9], "[tessel] InformationBufferLength = 20");
  EXPECT_EQ(t[11], "[tessel] Rssi = 20");
  EXPECT_EQ(t[12], "[tessel] ErrorRate = 99");
}

TEST_F(DumpBounds, InformationBufferShorterThanTheMessageHidesWhatLiesBeyondIt) {
  // The SimIccId string lies in the message but past InformationBufferLength.
  Bytes info(28, 0);
  put32(info, 12, 28);
  put32(info, 16, 4);
  put_bytes(info, 28, utf16("89"));
  Bytes m = command_done(kBasicConnect, 2, info);
  put32(m, 44, 28);
  dump(m);
  EXPECT_EQ(texts().back(), "[tessel] < SubscriberID = ");
  EXPECT_TRUE(capture_log::with_format("[tessel] %s SIMICCID = %s").empty());
}

TEST_F(DumpBounds, StringOffsetsAndSizesOutsideOrOverflowingAreNotPrinted) {
  Bytes info(44, 0);
  put32(info, 4, 0xFFFFFFF0);   // SubscriberId offset; + size wraps 32 bits
  put32(info, 8, 0x20);
  put32(info, 12, 8);           // SimIccId: inside offset, size to 2^32 - 4
  put32(info, 16, 0xFFFFFFFC);
  put32(info, 24, 0xFFFFFFFF);  // ElementCount far beyond the pairs present
  put32(info, 28, 44);          // number 0 lies inside
  put32(info, 32, 2);
  put32(info, 36, 0x80000000);  // number 1: offset and size of 2^31 each
  put32(info, 40, 0x80000000);
  put_bytes(info, 44, utf16("5"));
  const Bytes buffer = exact_copy(info);
  dump_subscriber_ready(buffer.data(), buffer.size(), "<");
  EXPECT_EQ(texts(), (std::vector<std::string>{"[tessel] < ReadyState = NotInitialized",
                                              "[tessel] < Number = 5"}));
  capture_log::clear();
  dump(command_done(kBasicConnect, 2, info));
  EXPECT_EQ(texts().back(), "[tessel] < Number = 5");
}

TEST_F(DumpBounds, IpConfigurationAddressesOutsideAreNotPrinted) {
  // 80 bytes: the header, fe80::1 at 60, 9.9.9.9 at 76.
  Bytes info(60, 0);
  put32(info, 4, 7);            // IPv4: address, gateway, DNS
  put32(info, 8, 7);            // IPv6: address, gateway, DNS
  put32(info, 16, 0xFFFFFFFC);  // IPv4 element: offset + 8 wraps 32 bits
  put32(info, 24, 64);          // IPv6 element needs 20 bytes, 16 left
  put32(info, 28, 78);          // IPv4 gateway: 2 of its 4 bytes held
  put32(info, 32, 60);          // IPv6 gateway: inside
  put32(info, 36, 2);
  put32(info, 40, 76);          // IPv4 DNS: dns1 inside, dns2 not
  put32(info, 44, 2);
  put32(info, 48, 60);          // IPv6 DNS: dns1 inside, dns2 not
  put_bytes(info, 60, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01});
  put_bytes(info, 76, {9, 9, 9, 9});
  dump(command_done(kBasicConnect, 15, info));
  const auto t = texts();
  ASSERT_GE(t.size(), 9u);
  EXPECT_EQ(t[t.size() - 9], "[tessel] IPv6AddressOffset = 0x40");
  EXPECT_EQ(std::vector<std::string>(t.end() - 8, t.end()),
            (std::vector<std::string>{
                "[tessel] <", "[tessel] dns1 = 9.9.9.9", "[tessel] direction:< Gateway: ",
                "[tessel] fe80:0000:0000:0000:", "[tessel] 0000:0000:0000:0001",
                "[tessel] direction:< dns1: ", "[tessel] fe80:0000:0000:0000:",
                "[tessel] 0000:0000:0000:0001"}));
}

TEST_F(DumpBounds, ConnectCutInsideContextTypeShowsTheWordsBeforeIt) {
  Bytes info(20, 0);
  put32(info, 0, 9);
  Bytes m = command_done(kBasicConnect, 12, info);
  put32(m, 44, 36);  // claims the whole connect structure
  dump(m);
  const auto t = texts();
  ASSERT_EQ(t.size(), 16u);
  EXPECT_EQ(t[11], "[tessel] <");
  EXPECT_EQ(t[12], "[tessel] SessionId = 9");
  EXPECT_EQ(t[15], "[tessel] VoiceCallState = None");
}

}  // namespace
}  // namespace tessel

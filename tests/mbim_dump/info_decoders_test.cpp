// info_decoders_test.cpp — subscriber ready, register state, packet service
// and connect information buffers, and the UTF-16 strings inside them.
#include "mbim_dump/info_decoders.h"

#include <string>

#include "dump_test_util.h"
#include "mbim_dump/utf16_text.h"
#include "mbim_dump/value_names.h"
#include "mbim_dump/word_fields.h"

TESSEL_LOG_MODULE("src/mbim_dump");

namespace tessel {
namespace {

using namespace dump_test;

class InfoDecoders : public ClearedLog {};

// The decoders' field tables are checked when they are built: a word's
// record may not take a text, a named value's record must.
constexpr WordField kWordAsText[] = {{0, LOG_RECORD(LOG_NORMAL, "[tessel] NwError = %s")}};
constexpr WordField kNameAsNumber[] = {
    {4, LOG_RECORD(LOG_NORMAL, "[tessel] RegisterState = %u"), register_state_name}};
constexpr WordField kBoth[] = {
    {0, LOG_RECORD(LOG_NORMAL, "[tessel] NwError = %u")},
    {4, LOG_RECORD(LOG_NORMAL, "[tessel] RegisterState = %s"), register_state_name}};
static_assert(!records_fit(kWordAsText) && !records_fit(kNameAsNumber) && records_fit(kBoth));

// Subscriber-ready buffer: ReadyState, then strings placed from offset 44 on.
struct SubscriberReady {
  Bytes b = Bytes(44, 0);
  size_t next = 44;
  // Appends `data` and writes its (offset, size) pair at `pair`.
  void string(size_t pair, const Bytes& data, uint32_t size) {
    put32(b, pair, static_cast<uint32_t>(next));
    put32(b, pair + 4, size);
    put_bytes(b, next, data);
    next += data.size();
  }
};

TEST_F(InfoDecoders, SubscriberReadyShowsIccidBeforeSubscriberIdThenEachNumber) {
  SubscriberReady s;
  put32(s.b, 0, 1);   // ReadyState: Initialized
  put32(s.b, 24, 2);  // ElementCount
  s.string(12, utf16("89860012345678901234"), 40);  // SimIccId
  s.string(4, utf16("460001234567890"), 30);        // SubscriberId
  s.string(28, utf16("+8613800000000"), 28);        // number 0
  s.string(36, utf16("10086"), 10);                 // number 1
  const Bytes info = exact_copy(s.b);
  dump_subscriber_ready(info.data(), info.size(), "<");
  expect_records({
      {Call::kSprintf, "[tessel] < ReadyState = Initialized"},
      {Call::kSprintf, "[tessel] < SIMICCID = 89860012345678901234"},
      {Call::kSprintf, "[tessel] < SubscriberID = 460001234567890"},
      {Call::kSprintf, "[tessel] < Number = +8613800000000"},
      {Call::kSprintf, "[tessel] < Number = 10086"},
  });
}

TEST_F(InfoDecoders, SubscriberReadyOddSizeDropsTheLastByteAndNoNumbersForCountZero) {
  SubscriberReady s;
  put32(s.b, 0, 7);  // ReadyState outside the table
  Bytes iccid = utf16("89860012345678901234");
  iccid.push_back('9');                    // the 41st byte
  s.string(12, iccid, 41);
  s.string(4, {}, 0);  // empty SubscriberId
  const Bytes info = exact_copy(s.b);
  dump_subscriber_ready(info.data(), info.size(), "<");
  expect_records({
      {Call::kSprintf, "[tessel] < ReadyState = Undefined"},
      {Call::kSprintf, "[tessel] < SIMICCID = 89860012345678901234"},
      {Call::kSprintf, "[tessel] < SubscriberID = "},
  });
}

TEST(Utf16ToText, KeepsLowBytesAndCutsAt255Characters) {
  // Code units 0x0141 and 0x2032 show as their low bytes 'A' and '2'.
  const Bytes units = exact_copy({0x41, 0x01, 0x32, 0x20, 0x33, 0x00});
  EXPECT_STREQ(utf16_to_text(units.data(), units.size(), 0, 6), "A23");
  EXPECT_STREQ(utf16_to_text(units.data(), units.size(), 0, 5), "A2");
  EXPECT_STREQ(utf16_to_text(units.data(), units.size(), 2, 1), "");
  EXPECT_STREQ(utf16_to_text(units.data(), units.size(), 6, 0), "");

  std::string digits;
  for (int i = 0; i < 30; ++i) digits += "0123456789";  // 300 characters
  const Bytes long_text = exact_copy(utf16(digits));
  const char* text = utf16_to_text(long_text.data(), long_text.size(), 0, 600);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(std::string(text), digits.substr(0, 255));  // "0123456789" 25 times, then "01234"
}

TEST_F(InfoDecoders, PacketServiceSpeedsAreTheSignedLowWord) {
  Bytes b;
  put32(b, 0, 5);           // NwError
  put32(b, 4, 2);           // PacketServiceState: Attached
  put32(b, 8, 0x20);        // HighestAvailableDataClass: LTE
  put32(b, 12, 0x80000000);  // UplinkSpeed 2^31
  put32(b, 16, 0);
  put32(b, 20, 0);           // DownlinkSpeed 2^32
  put32(b, 24, 1);
  const Bytes info = exact_copy(b);
  dump_packet_service(info.data(), info.size(), "<");
  expect_records({
      {Call::kSprintf, "[tessel] <"},
      {Call::kSend1, "[tessel] NwError = 5"},
      {Call::kSprintf, "[tessel] PacketServiceState = Attached"},
      {Call::kSprintf, "[tessel] HighestAvailableDataClass = LTE"},
      {Call::kSend1, "[tessel] UplinkSpeed = -2147483648"},
      {Call::kSend1, "[tessel] DownlinkSpeed = 0"},
  });
}

TEST_F(InfoDecoders, ConnectShowsFieldsInRecordOrderNotFieldOrder) {
  Bytes b;
  put32(b, 0, 3);  // SessionId
  put32(b, 4, 1);  // ActivationState: Activated
  put32(b, 8, 0);  // VoiceCallState: None
  put32(b, 12, 3);  // IPType: IPv4v6
  put_bytes(b, 16, {0x7e, 0x5e, 0x2a, 0x7e, 0x4e, 0x6f, 0x72, 0x72,
                    0x73, 0x6b, 0x65, 0x6e, 0x7e, 0x5e, 0x2a, 0x7e});  // ContextType
  put32(b, 32, 0);  // NwError
  const Bytes info = exact_copy(b);
  dump_connect(info.data(), info.size(), "<");
  expect_records({
      {Call::kSprintf, "[tessel] <"},
      {Call::kSend1, "[tessel] SessionId = 3"},
      {Call::kSprintf, "[tessel] ActivationState = Activated"},
      {Call::kSprintf, "[tessel] IPType = MBIMContextIPTypeIPv4v6"},
      {Call::kSprintf, "[tessel] VoiceCallState = None"},
      {Call::kSprintf, "[tessel] ContextType = 7e5e2a7e-4e6f-7272-736b-656e7e5e2a7e"},
      {Call::kSend1, "[tessel] NwError = 0"},
  });
}

}  // namespace
}  // namespace tessel

// Cutting received bytes into messages, per read (device node) and across
// reads (the proxy's byte stream).
#include "transport/message_splitter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "capture_log.h"
#include "test_messages.h"

namespace {

using tessel::MessageSplitter;
using namespace test_messages;

struct Collected {
  std::vector<std::vector<uint8_t>> messages;
};

void collect(const uint8_t* msg, uint32_t length, void* context) {
  static_cast<Collected*>(context)->messages.emplace_back(msg, msg + length);
}

// Feeds `bytes` as one read.
void feed(MessageSplitter& s, const std::vector<uint8_t>& bytes, Collected& out) {
  ASSERT_LE(bytes.size(), s.read_room());
  std::memcpy(s.read_target(), bytes.data(), bytes.size());
  s.received(bytes.size(), collect, &out);
}

std::vector<std::string> error_records() {
  std::vector<std::string> out;
  for (const auto& r : capture_log::records())
    if (r.level == 8) out.push_back(r.text);
  return out;
}

class Splitter : public ::testing::Test {
 protected:
  void SetUp() override { capture_log::clear(); }
};

TEST_F(Splitter, OneReadHoldingTwoMessagesGivesBothInOrder) {
  MessageSplitter s(/*stream=*/false);
  Collected out;
  const auto response = command_done(7, 52);
  const auto ind = indication(60);
  feed(s, join(response, ind), out);
  ASSERT_EQ(out.messages.size(), 2u);
  EXPECT_EQ(out.messages[0], response);
  EXPECT_EQ(out.messages[1], ind);
  const std::vector<std::string> expected = {
      "[tessel] read=112 MessageLength=52",  // bytes left, then this message's length
      "[tessel] read=60 MessageLength=60",
  };
  EXPECT_EQ(capture_log::texts(), expected);
}

TEST_F(Splitter, DeviceReadClaimingMoreThanItHoldsIsDroppedWhole) {
  MessageSplitter s(/*stream=*/false);
  Collected out;
  auto cut = command_done(7, 100);
  cut.resize(60);
  feed(s, join(command_done(1), cut), out);
  ASSERT_EQ(out.messages.size(), 1u);  // the first one still arrives
  // The cut message may go on in the next read; this one starts a message of
  // its own, so the cut one is dropped whole and nothing of it is kept.
  feed(s, command_done(2), out);
  EXPECT_EQ(out.messages.size(), 2u);
  EXPECT_EQ(error_records(), std::vector<std::string>{"[tessel] error: read=60 MessageLength=100"});
  EXPECT_EQ(s.held(), 0u);
}

// The node's join rule (message_splitter.h), one sequence of reads per row.
TEST_F(Splitter, DeviceJoinsAMessageAcrossReadsButNeverLetsABrokenOneSwallowALaterRead) {
  const auto answer = command_done(9, 2100);    // InformationBufferLength 2052
  const auto small = command_done(10);          // 48 bytes
  const auto ind = indication(60);              // InformationBufferLength 0
  const auto queued = join(ind, answer);        // 2160 bytes queued on the node
  auto garbage_header = message(0x80000003, 200, 9);
  garbage_header.resize(12);                    // a header claiming 200 bytes, alone
  auto cut_short = command_done(9, 300);
  cut_short.resize(100);                        // the modem stopped after 100 bytes
  // A continuation whose InformationBufferLength (offset 44 of the joined
  // message) claims more than its MessageLength allows.
  std::vector<uint8_t> liar(40, 0xEE);
  auto slice = [](const std::vector<uint8_t>& m, size_t from, size_t to) {
    return std::vector<uint8_t>(m.begin() + from, m.begin() + to);
  };
  struct Case {
    const char* what;
    std::vector<std::vector<uint8_t>> reads;
    std::vector<std::vector<uint8_t>> delivered;
    std::vector<std::string> errors;
  };
  const Case cases[] = {
      {"split inside the body", {slice(answer, 0, 1000), slice(answer, 1000, 2100)}, {answer}, {}},
      {"split inside the header, then in three reads",
       {slice(answer, 0, 6), slice(answer, 6, 30), slice(answer, 30, 1500), slice(answer, 1500, 2100)},
       {answer}, {}},
      {"an indication first, the answer straddling; a message after it in the same read",
       {slice(queued, 0, 1000), join(slice(queued, 1000, 2160), small)}, {ind, answer, small}, {}},
      {"a garbage header, then the real answer in a read of its own",
       {garbage_header, answer}, {answer}, {"[tessel] error: read=12 MessageLength=200"}},
      {"a message cut short, then a short message",
       {cut_short, small}, {small}, {"[tessel] error: read=100 MessageLength=300"}},
      {"a part whose continuation makes it inconsistent, then a message",
       {garbage_header, liar, small}, {small},
       {"[tessel] error: read=52 MessageLength=200",
        "[tessel] error: read=40 MessageLength=4008636142"}},
      {"a tail that cannot begin a message is dropped at once",
       {join(small, std::vector<uint8_t>(30, 0x41)), small}, {small, small},
       {"[tessel] error: read=30 MessageLength=1094795585"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    capture_log::clear();
    MessageSplitter s(/*stream=*/false);
    Collected out;
    for (const auto& r : c.reads) feed(s, r, out);
    EXPECT_EQ(out.messages, c.delivered);
    EXPECT_EQ(error_records(), c.errors);
    EXPECT_EQ(s.held(), 0u);
  }
}

TEST_F(Splitter, LengthsBelowTheHeaderNeitherLoopNorOverread) {
  for (bool stream : {false, true}) {
    for (uint32_t bad : {0u, 5u, 11u}) {
      capture_log::clear();
      MessageSplitter s(stream);
      Collected out;
      feed(s, join(message(0x80000003, bad, 1), command_done(2)), out);
      EXPECT_TRUE(out.messages.empty());
      EXPECT_EQ(s.held(), 0u);
      ASSERT_EQ(error_records().size(), 1u);
      EXPECT_EQ(capture_log::records()[0].values,
                (std::vector<uint32_t>{60, bad}));  // 12 + 48 bytes were held
    }
  }
}

TEST_F(Splitter, StreamCompletesAMessageSplitAcrossReads) {
  MessageSplitter s(/*stream=*/true);
  Collected out;
  const auto response = command_done(9, 300);
  const auto second = command_done(10, 48);
  const auto both = join(response, second);
  // Three reads: inside the header, inside the body, and the rest.
  feed(s, std::vector<uint8_t>(both.begin(), both.begin() + 6), out);
  EXPECT_TRUE(out.messages.empty());
  feed(s, std::vector<uint8_t>(both.begin() + 6, both.begin() + 200), out);
  EXPECT_TRUE(out.messages.empty());
  feed(s, std::vector<uint8_t>(both.begin() + 200, both.end()), out);
  ASSERT_EQ(out.messages.size(), 2u);
  EXPECT_EQ(out.messages[0], response);
  EXPECT_EQ(out.messages[1], second);
  EXPECT_TRUE(error_records().empty());
}

TEST_F(Splitter, StreamStepsOverAMessageLongerThanTheBufferAndStaysInStep) {
  MessageSplitter s(/*stream=*/true);
  Collected out;
  const auto big = indication(5000);   // a reassembled indication from the proxy
  const auto after = command_done(3);  // must still arrive
  const auto stream = join(big, after);
  feed(s, std::vector<uint8_t>(stream.begin(), stream.begin() + 4096), out);
  feed(s, std::vector<uint8_t>(stream.begin() + 4096, stream.end()), out);
  ASSERT_EQ(out.messages.size(), 1u);
  EXPECT_EQ(out.messages[0], after);
  EXPECT_EQ(error_records(), std::vector<std::string>{"[tessel] error: read=4096 MessageLength=5000"});
}

TEST_F(Splitter, AFullBufferOfExactlyOneMessageIsDelivered) {
  MessageSplitter s(/*stream=*/true);
  Collected out;
  feed(s, command_done(4, 4096), out);
  ASSERT_EQ(out.messages.size(), 1u);
  EXPECT_EQ(s.held(), 0u);
  EXPECT_EQ(s.read_room(), 4096u);
}

}  // namespace

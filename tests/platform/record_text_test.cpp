// Formatting of 32-bit record values, as the stand-in and the test double do it.
#include "record_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string words(const char* fmt, std::initializer_list<uint32_t> w) {
  return libdiag::format_record_words(fmt, w.begin(), w.size());
}

TEST(RecordText, SignedAndUnsignedConversionsReadOneWordEach) {
  EXPECT_EQ(words("[tessel] err=%d, Status=%d", {0xFFFFFFEDu, 2}), "[tessel] err=-19, Status=2");
  EXPECT_EQ(words("[tessel] MessageLength = %u", {4294967295u}),
            "[tessel] MessageLength = 4294967295");
  EXPECT_EQ(words("0x%04x %X %o %c", {0x38, 0xabc, 8, 'A'}), "0x0038 ABC 10 A");
}

TEST(RecordText, LengthModifiersAreDroppedSoAWordNeverReadsAsEightBytes) {
  EXPECT_EQ(words("[tessel] (size=%zd)", {1025}), "[tessel] (size=1025)");
  EXPECT_EQ(words("[tessel] UplinkSpeed = %ld", {0x80000000u}),
            "[tessel] UplinkSpeed = -2147483648");
  EXPECT_EQ(words("%lu %hhd %lld", {7, 8, 0xFFFFFFFFu}), "7 8 -1");
}

TEST(RecordText, PointersPercentSignsAndMissingValues) {
  EXPECT_EQ(words("data=%p", {0x1000}), "data=0x1000");
  EXPECT_EQ(words("100%% of %d", {3}), "100% of 3");
  EXPECT_EQ(words("%d and %d", {1}), "1 and ?");
  EXPECT_EQ(words("no values", {5}), "no values");
  EXPECT_EQ(words("cut %", {}), "cut %");
  EXPECT_EQ(words("text %s", {0x1234}), "text <%s:0x1234>");
}

TEST(RecordText, PrintfArgumentsFormatAsPrintfDoes) {
  auto fmt = [](const char* f, ...) {
    va_list ap;
    va_start(ap, f);
    std::string s = libdiag::format_record_args(f, ap);
    va_end(ap);
    return s;
  };
  EXPECT_EQ(fmt("[tessel] Send > %s\n", "AT+CGMR"), "[tessel] Send > AT+CGMR\n");
  EXPECT_EQ(fmt("%s=%d", "x", -5), "x=-5");
  EXPECT_EQ(fmt("%s", std::string(5000, 'a').c_str()).size(), 5000u);
}

TEST(RecordText, BoundedWritersCutTerminateAndTellTheWholeLength) {
  const uint32_t w[] = {0xFFFFFFEDu, 2};
  char out[12];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(libdiag::format_words_into(out, sizeof out, "[tessel] err=%d", w, 2), 16u);
  EXPECT_STREQ(out, "[tessel] er");
  EXPECT_EQ(libdiag::format_words_into(nullptr, 0, "%d and %d", w, 2), 9u);
  out[0] = 'x';
  EXPECT_EQ(libdiag::format_words_into(out, 1, "%d", w, 1), 3u);
  EXPECT_EQ(out[0], '\0');
  // A conversion with more flags and digits than any format of the tool is
  // cut to the converter's room, never copied past it.
  const std::string wide = "%" + std::string(40, '0') + "5d";
  const std::string text = libdiag::format_record_words(wide.c_str(), w, 1);
  EXPECT_LT(text.size(), 64u);
  EXPECT_EQ(text.substr(text.size() - 2), "19");
}

}  // namespace

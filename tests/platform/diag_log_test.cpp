// The logging macros: one constant record per call site, and the library
// call chosen by the number and kind of values.
#include "diag_log/diag_log.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture_log.h"

TESSEL_LOG_MODULE("src/api");

namespace {

using capture_log::Call;

TEST(DiagLog, EachCallSiteSendsItsOwnConstantRecord) {
  capture_log::clear();
  const int first_line = __LINE__ + 1;
  LOG_MSG(LOG_ERROR, "[tessel] no need to update\n");
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d", -1);
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].call, Call::kSend);
  EXPECT_EQ(r[0].line, first_line);
  EXPECT_EQ(r[0].ss_id, 88);
  EXPECT_EQ(r[0].level, 8u);
  EXPECT_EQ(r[0].file, "src/api");
  EXPECT_EQ(r[0].format, "[tessel] no need to update\n");
  EXPECT_EQ(r[1].line, first_line + 1);
  EXPECT_EQ(r[1].level, 2u);
  EXPECT_EQ(r[1].text, "[tessel] err=-1");
}

TEST(DiagLog, ValueCountChoosesTheLibraryCall) {
  capture_log::clear();
  LOG_NUM(LOG_NORMAL, "[tessel] %d", 1);
  LOG_NUM(LOG_NORMAL, "[tessel] %d %d", 1, 2);
  LOG_NUM(LOG_NORMAL, "[tessel] %d %d %d", 1, 2, 3);
  LOG_NUM(LOG_NORMAL, "[tessel] gw = %u.%u.%u.%u", 10, 0, 0, 1);
  LOG_NUM(LOG_NORMAL, "[tessel] %u %u %u %u %u %u %u %u", 1, 2, 3, 4, 5, 6, 7, 8);
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(r[0].call, Call::kSend1);
  EXPECT_EQ(r[1].call, Call::kSend2);
  EXPECT_EQ(r[2].call, Call::kSend3);
  EXPECT_EQ(r[3].call, Call::kSendVar);
  EXPECT_EQ(r[3].var_count, 4u);
  EXPECT_EQ(r[3].text, "[tessel] gw = 10.0.0.1");
  EXPECT_EQ(r[4].call, Call::kSendVar);
  EXPECT_EQ(r[4].var_count, 8u);
  EXPECT_EQ(r[4].values, (std::vector<uint32_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(DiagLog, ValuesTravelAsThirtyTwoBitWords) {
  capture_log::clear();
  const int8_t small = -3;
  const uint64_t wide = 0x1234567890ull;
  int target = 0;
  LOG_NUM(LOG_NORMAL, "[tessel] %d %u %p", small, wide, &target);
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].values[0], 0xFFFFFFFDu);
  EXPECT_EQ(r[0].values[1], 0x34567890u);
  EXPECT_EQ(r[0].values[2], static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&target)));
}

TEST(DiagLog, TextRecordsAreFormattedByTheCaller) {
  capture_log::clear();
  LOG_TXT(LOG_NORMAL, "[tessel] fail to access %s", "/dev/wdm0");
  const int row_line = __LINE__ + 1;
  static const msg_const_type kRow = LOG_RECORD(LOG_NORMAL, "[tessel] RegisterMode = %s");
  tessel::send_text_record(&kRow, "Automatic");
  auto r = capture_log::records();
  ASSERT_EQ(r.size(), 2u);
  EXPECT_EQ(r[0].call, Call::kSprintf);
  EXPECT_TRUE(r[0].values.empty());
  EXPECT_EQ(r[0].text, "[tessel] fail to access /dev/wdm0");
  EXPECT_EQ(r[1].call, Call::kSprintf);
  EXPECT_EQ(r[1].line, row_line);
  EXPECT_EQ(r[1].file, "src/api");
  EXPECT_EQ(r[1].text, "[tessel] RegisterMode = Automatic");
}

// --quiet: the macros drop every record below the error level before the
// library sees it, whatever the call, so the platform's own library gets
// only the errors too.
TEST(DiagLog, ErrorsOnlyLetsTheErrorRecordsAloneThrough) {
  capture_log::clear();
  tessel::log_errors_only(true);
  LOG_MSG(LOG_NORMAL, "[tessel] mbim_read_thread is created");
  LOG_MSG(LOG_ERROR, "[tessel] no need to update\n");
  LOG_NUM(LOG_NORMAL, "[tessel] MessageLength:%d", 52);
  LOG_NUM(LOG_ERROR, "[tessel] write ret = %d", -1);
  LOG_NUM(LOG_NORMAL, "[tessel] %u %u %u %u", 1, 2, 3, 4);
  LOG_TXT(LOG_NORMAL, "[tessel] --- md5: %s", "00");
  LOG_TXT(LOG_ERROR, "[tessel] cannot read %s", "t.bin");
  static const msg_const_type kRow = LOG_RECORD(LOG_NORMAL, "[tessel] IPType = %s");
  tessel::send_text_record(&kRow, "IPv4");
  tessel::log_errors_only(false);
  LOG_NUM(LOG_NORMAL, "[tessel] err=%d", 0);
  std::vector<std::string> texts;
  for (const auto& r : capture_log::records()) texts.push_back(r.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"[tessel] no need to update\n",
                                             "[tessel] write ret = -1",
                                             "[tessel] cannot read t.bin", "[tessel] err=0"}));
}

// LOG_NUM refuses at compile time the formats this finds a %s in.
TEST(DiagLog, TextConversionsAreFoundWhateverStandsBetweenPercentAndS) {
  struct Case {
    const char* format;
    bool text;
  };
  const Case cases[] = {
      {"[tessel] cannot tell who serves '%s' (errno %d)", true},
      {"[tessel] %-12.4s", true},
      {"[tessel] %*s", true},
      {"[tessel] err=%d, Status=%d", false},
      {"[tessel] 100%%s done", false},  // a percent sign, then the letter s
      {"[tessel] %u%% %", false},       // a lone percent sign at the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tessel::has_text_conversion(c.format), c.text) << c.format;
  }
}

}  // namespace

// Deadlines for the condition waits, and the timestamp text.
#include "transport/deadline.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "transport/timestamp.h"

namespace {

using tessel::deadline_from;
using tessel::timeout_offset;

TEST(Deadline, SecondsBecomeMillisecondsInThirtyTwoBitsAndZeroMeansTheLongest) {
  struct Case {
    uint32_t seconds;
    time_t sec;
    long nsec;
  };
  for (const Case& c : {Case{0, 4294967, 295000000},  // the longest millisecond count
                        Case{30, 30, 0},
                        Case{4294968, 0, 704000000}}) {  // 4294968000 ms wraps to 704 ms
    SCOPED_TRACE(c.seconds);
    EXPECT_EQ(timeout_offset(c.seconds).tv_sec, c.sec);
    EXPECT_EQ(timeout_offset(c.seconds).tv_nsec, c.nsec);
  }
}

TEST(Deadline, NanosecondsCarryIntoSeconds) {
  const timespec now = {100, 999999999};
  const timespec d = deadline_from(now, 0);  // + 4294967.295 s
  EXPECT_EQ(d.tv_sec, 100 + 4294967 + 1);
  EXPECT_EQ(d.tv_nsec, 294999999);
  const timespec e = deadline_from({5, 1}, 3);
  EXPECT_EQ(e.tv_sec, 8);
  EXPECT_EQ(e.tv_nsec, 1);
}

TEST(Timestamp, MillisecondsRoundAndCarryIntoTheSecond) {
  setenv("TZ", "UTC", 1);
  tzset();
  // 3 March 2026, 12:00:00.9996 UTC.
  const time_t noon = 1772539200;
  char text[50];
  tessel::format_timestamp(noon, 999600, text, sizeof text);
  EXPECT_STREQ(text, "03-03_12:00:01:000");
  tessel::format_timestamp(noon, 499, text, sizeof text);
  EXPECT_STREQ(text, "03-03_12:00:00:000");
  tessel::format_timestamp(noon, 500, text, sizeof text);
  EXPECT_STREQ(text, "03-03_12:00:00:001");
}

}  // namespace

// Service UUID text to the 16 bytes that travel in DeviceServiceId.
#include "mbim_format/uuid.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <thread>

namespace {

using tessel::uuid_from_text;

std::array<uint8_t, 16> bytes_of(const char* text) { return uuid_from_text(text).bytes; }

constexpr std::array<uint8_t, 16> kBasicConnect = {0xa2, 0x89, 0xcc, 0x33, 0xbc, 0xbb, 0x8b, 0x4f,
                                                   0xb6, 0xb0, 0x13, 0x3e, 0xc2, 0xaa, 0xe6, 0xdf};
constexpr std::array<uint8_t, 16> kNil = {};

TEST(Uuid, PairsAreTakenInTextOrderWithNoGroupSwappedWhateverTheCase) {
  EXPECT_EQ(bytes_of("a289cc33-bcbb-8b4f-b6b0-133ec2aae6df"), kBasicConnect);
  EXPECT_EQ(bytes_of("A289CC33-BCBB-8B4F-B6B0-133EC2AAE6DF"), kBasicConnect);
  const std::array<uint8_t, 16> sar = {0x68, 0x22, 0x3d, 0x04, 0x9f, 0x6c, 0x4e, 0x0f,
                                       0x82, 0x2d, 0x28, 0x44, 0x1f, 0xb7, 0x23, 0x40};
  EXPECT_EQ(tessel::kUuidMsSarControl.bytes, sar);
}

TEST(Uuid, MalformedTextIsRefusedAsTheNilUuid) {
  const std::string overlong = "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df" + std::string(4000, 'f');
  EXPECT_EQ(bytes_of(nullptr), kNil);
  EXPECT_EQ(bytes_of(""), kNil);
  EXPECT_EQ(bytes_of("a289cc33-bcbb-8b4f-b6b0-133ec2aae6d"), kNil);    // 35 characters
  EXPECT_EQ(bytes_of("a289cc33-bcbb-8b4f-b6b0-133ec2aae6df0"), kNil);  // 37 characters
  EXPECT_EQ(bytes_of(overlong.c_str()), kNil);                         // without overrun
  EXPECT_EQ(bytes_of("a289cc33xbcbb-8b4f-b6b0-133ec2aae6df"), kNil);   // hyphen missing
  EXPECT_EQ(bytes_of("a289cc33-bcbb-8b4f-b6b0-133ec2aae6dg"), kNil);   // not hexadecimal
  EXPECT_EQ(bytes_of("a289cc3-3bcbb-8b4f-b6b0-133ec2aae6df"), kNil);   // hyphen inside a pair
  EXPECT_EQ(bytes_of("+289cc33-bcbb-8b4f-b6b0-133ec2aae6df"), kNil);   // sign scanf would take
  // The compiler refuses the same way, which is what stops a malformed
  // service constant from building.
  static_assert(tessel::uuid_is_nil(uuid_from_text("a289cc33-bcbb-8b4f-b6b0-133ec2aae6d")));
  static_assert(tessel::uuid_is_nil(uuid_from_text("a289cc33xbcbb-8b4f-b6b0-133ec2aae6df")));
  static_assert(!tessel::uuid_is_nil(uuid_from_text("a289cc33-bcbb-8b4f-b6b0-133ec2aae6df")));
}

TEST(Uuid, EqualsComparesAllSixteenBytes) {
  EXPECT_TRUE(tessel::uuid_equals(kBasicConnect.data(), tessel::kUuidBasicConnect));
  EXPECT_FALSE(tessel::uuid_equals(kBasicConnect.data(), tessel::kUuidQmbe));
  std::array<uint8_t, 16> last_differs = kBasicConnect;
  last_differs[15] ^= 1;
  EXPECT_FALSE(tessel::uuid_equals(last_differs.data(), tessel::kUuidBasicConnect));
  EXPECT_TRUE(tessel::uuid_equals(kBasicConnect.data(),
                                  uuid_from_text("A289CC33-BCBB-8B4F-B6B0-133EC2AAE6DF")));
}

// The reader thread compares services while the main thread builds
// requests; each must keep seeing its own result.
TEST(Uuid, EachThreadKeepsItsOwnResult) {
  auto worker = [](const char* text, uint8_t first, bool* ok) {
    for (int i = 0; i < 20000; ++i) {
      const tessel::Uuid r = uuid_from_text(text);
      if (r.bytes[0] != first || r.bytes[15] == 0) {
        *ok = false;
        return;
      }
    }
    *ok = true;
  };
  bool a = false, b = false;
  std::thread ta(worker, "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 0xa2, &a);
  std::thread tb(worker, "2d0c12c9-0e6a-495a-915c-8d174fe5d63c", 0x2d, &b);
  ta.join();
  tb.join();
  EXPECT_TRUE(a);
  EXPECT_TRUE(b);
}

}  // namespace

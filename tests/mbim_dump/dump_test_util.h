// dump_test_util.h — building MBIM messages byte by byte for the dump tests,
// handing them to the dump, and checking the records it wrote.
//
// Every message handed to the code under test is a heap block of exactly its
// own size (exact_copy), so AddressSanitizer reports any read past its end.
#ifndef TESSEL_TESTS_MBIM_DUMP_DUMP_TEST_UTIL_H_
#define TESSEL_TESTS_MBIM_DUMP_DUMP_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "capture_log.h"
#include "byte_order/byte_order.h"
#include "mbim_answer.h"
#include "mbim_dump/dump_message.h"
#include "mbim_format/uuid.h"
#include "service_ids.h"

namespace dump_test {

using capture_log::Call;
using Bytes = std::vector<uint8_t>;

inline void put32(Bytes& b, size_t offset, uint32_t v) {
  if (b.size() < offset + 4) b.resize(offset + 4);
  tessel::put_le32(b.data() + offset, v);
}

inline void put_bytes(Bytes& b, size_t offset, const Bytes& v) {
  if (b.size() < offset + v.size()) b.resize(offset + v.size());
  for (size_t i = 0; i < v.size(); ++i) b[offset + i] = v[i];
}

// UTF-16LE of an ASCII text.
inline Bytes utf16(const std::string& s) {
  Bytes out;
  for (char c : s) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

// A block holding exactly b.size() bytes: no spare capacity for a stray read.
inline Bytes exact_copy(const Bytes& b) { return Bytes(b.begin(), b.end()); }

using service_ids::kBasicConnect;
using service_ids::kQmbe;

// The bytes of one of the tool's service constants (their bytes are pinned
// by hand in the format tests).
inline Bytes service_bytes(const tessel::Uuid& uuid) {
  return Bytes(uuid.bytes.begin(), uuid.bytes.end());
}

// MBIM_COMMAND_DONE (0x80000003) of `service`/`cid`, Status 0, with `info`
// as its InformationBuffer at offset 48.
inline Bytes command_done(const Bytes& service, uint32_t cid, const Bytes& info) {
  return exact_copy(mbim_answer::command_done(7, 0, info, -1, service.data(), cid));
}

// MBIM_INDICATE_STATUS_MSG (0x80000007), InformationBuffer at offset 44.
inline Bytes indication(const Bytes& service, uint32_t cid, const Bytes& info) {
  Bytes m(44);
  put32(m, 0, 0x80000007);
  put32(m, 4, static_cast<uint32_t>(44 + info.size()));
  put32(m, 12, 1);
  put_bytes(m, 20, service);
  put32(m, 36, cid);
  put32(m, 40, static_cast<uint32_t>(info.size()));
  put_bytes(m, 44, info);
  return exact_copy(m);
}

// The whole message to the dump, in verbose mode.
inline void dump(const Bytes& m) { tessel::dump_message(m.data(), m.size(), 1); }

// A fixture that starts every test with an empty capturing log.
class ClearedLog : public ::testing::Test {
 protected:
  void SetUp() override { capture_log::clear(); }
};

// One expected record: how it was written and its formatted text.
struct Want {
  Call call;
  std::string text;
  uint32_t var_count = 0;  // checked for kSendVar only
};

// The records written since the last clear, from record `first` on (1 skips
// the hex line), compared one by one; every record must be level 2 from
// "src/mbim_dump".
inline void expect_records(const std::vector<Want>& want, size_t first = 0) {
  const std::vector<capture_log::Record> all = capture_log::records();
  ASSERT_EQ(all.size(), first + want.size()) << [&] {
    std::string listing;
    for (const auto& r : all) listing += r.text + "\n";
    return listing;
  }();
  for (size_t i = 0; i < want.size(); ++i) {
    const capture_log::Record& got = all[first + i];
    SCOPED_TRACE("record " + std::to_string(first + i) + ": " + want[i].text);
    EXPECT_EQ(got.text, want[i].text);
    EXPECT_EQ(got.call, want[i].call);
    EXPECT_EQ(got.level, 2u);
    EXPECT_EQ(got.file, "src/mbim_dump");
    if (want[i].call == Call::kSendVar) {
      EXPECT_EQ(got.var_count, want[i].var_count);
    }
  }
}

// Texts only, for tests about what is said rather than how it is sent.
inline std::vector<std::string> texts() { return capture_log::texts(); }

}  // namespace dump_test

#endif  // TESSEL_TESTS_MBIM_DUMP_DUMP_TEST_UTIL_H_

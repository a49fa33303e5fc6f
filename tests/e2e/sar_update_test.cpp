// sar_tool bringing the simulated modem's SAR table in line with a file:
// the digests compared, the requests the modem receives in order, the table
// it ends up storing, and how the item number travels.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

// RFC 1321 test values.
const char kMd5OfNothing[] = "d41d8cd98f00b204e9800998ecf8427e";
const char kMd5OfAbc[] = "900150983cd24fb0d6963f7d28e17f72";
const char kZeroDigest[] = "00000000000000000000000000000000";

// The requests of an update of item 48001 (0xBB81) that writes chunks of
// the given lengths.
Requests full_update(const std::vector<int>& chunks) {
  Requests r = {"22 0000bb81", "21 0012"};
  for (size_t i = 0; i < chunks.size(); ++i)
    r.push_back("25 item=48001 len=" + std::to_string(chunks[i]) + (i == 0 ? " first" : " next"));
  r.insert(r.end(), {"21 0022", "22 0000bb81", "23 bb81"});
  return r;
}

class SarTool : public ModemTest {
 protected:
  // Starts a modem that keeps the stored table of its item in stored_, with
  // `modem_args` added, and runs sar_tool on it for `table_bytes` with
  // `args` added.
  Outcome run(const Bytes& table_bytes, const std::vector<std::string>& modem_args,
          const std::vector<std::string>& args = {}) {
    table_ = std::make_unique<process::TempFile>(table_bytes);
    modem_ = start_modem_storing(stored_, modem_args);
    EXPECT_TRUE(modem_->ready()) << modem_->notes();
    std::vector<std::string> all = {"--command", "sar_tool", "-d", modem_->path(), "-f", table_->path()};
    all.insert(all.end(), args.begin(), args.end());
    return tessel(all);
  }
  Requests requests() const { return describe(modem_->rx()); }
  Bytes stored() const { return stored_.read(); }

  process::TempFile stored_;
  std::unique_ptr<process::TempFile> table_;
  std::unique_ptr<process::Simulator> modem_;
};

TEST_F(SarTool, EqualDigestsLeaveTheModemAloneWithNoNeedToUpdate) {
  process::TempFile held({'a', 'b', 'c'});
  const Outcome r = run({'a', 'b', 'c'}, {"--table-in", held.path()});
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_EQ(r.result.status, 0);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] --- md5: ") + kMd5OfAbc));
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] +++ md5: ") + kMd5OfAbc));
  EXPECT_THAT(log, Contains("E src/main [tessel] no need to update"));
  EXPECT_THAT(requests(), ElementsAreArray(Requests{"22 0000bb81"}));
}

TEST_F(SarTool, ForceUpdatesEvenWhenDigestsAreEqual) {
  process::TempFile held({'a', 'b', 'c'});
  const Outcome r = run({'a', 'b', 'c'}, {"--table-in", held.path()}, {"--force"});
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(records(r.result.err), Not(Contains(HasSubstr("no need to update"))));
  EXPECT_THAT(requests(), ElementsAreArray(full_update({3})));
  EXPECT_EQ(stored(), Bytes({'a', 'b', 'c'}));
}

// Where chunks are cut (1024 / 1025 bytes and beyond) the table write's unit
// tests show; here a table rich in flag and escape bytes goes the whole way.
TEST_F(SarTool, DifferingDigestsWriteTheWholeFileInOrderAndTheModemStoresItExactly) {
  Bytes table(1024, 0x7E);                     // a whole chunk of flag bytes
  table.insert(table.end(), 1024, 0x7D);       // a whole chunk of escape bytes
  for (int i = 0; i < 300; ++i) table.insert(table.end(), {0x7D, 0x5E, 0x7E, 0x5D});  // look-alikes
  table.push_back(0x7D);                       // the table ends on an escape byte
  const Outcome r = run(table, {});
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(full_update({1024, 1024, 1024, 177})));
  EXPECT_EQ(stored(), table);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] --- md5: ") + kMd5OfNothing));
  EXPECT_THAT(log, Not(Contains(StartsWith("E "))));
  // The digest the modem reports after the write is the file's own.
  std::string file_digest, read_back;
  for (const auto& rec : log) {
    if (rec.rfind("I src/main [tessel] +++ md5: ", 0) == 0) file_digest = rec.substr(rec.size() - 32);
    if (rec.rfind("I src/main [tessel] md5: ", 0) == 0) read_back = rec.substr(rec.size() - 32);
  }
  EXPECT_EQ(file_digest.size(), 32u);
  EXPECT_EQ(read_back, file_digest);
}

// A digest answer of other than 16 bytes (here none) leaves the zero-filled
// digest, which differs from any file's, so the update runs; after the
// write the same answer is logged as a failure, not as the earlier digest
// read back.
TEST_F(SarTool, DigestAnswerWithoutSixteenBytesStillUpdatesAndIsNotPassedOffAsReadBack) {
  const Bytes table = {'a', 'b', 'c'};
  const Outcome r = run(table, {"--md5-length", "0"});
  EXPECT_EQ(r.result.out, kUnInit);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] --- md5: ") + kZeroDigest));
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] +++ md5: ") + kMd5OfAbc));
  EXPECT_THAT(log, Contains("E src/main [tessel] GetSarMd5 after update: the answer carried no 16-byte digest"));
  EXPECT_THAT(log, Not(Contains(StartsWith("I src/main [tessel] md5: "))));
  EXPECT_THAT(requests(), ElementsAreArray(full_update({3})));
  EXPECT_EQ(stored(), table);
}

// The item is a whole number from 0 to 65535 (a leading '+' allowed; the
// refusals are command-line cases), and travels big-endian in the digest
// queries and in 16 bits in every write packet and in the apply.
TEST_F(SarTool, ItemOptionIsReadAsANumberAndTravelsInQueryWriteAndApply) {
  struct Case {
    std::string option;      // the -n argument
    std::string modem_item;  // the simulator's --item, keyed as the tool sends it
    Requests expected;
  };
  const Case cases[] = {
      {"0", "0",
       {"22 00000000", "21 0012", "25 item=0 len=1024 first", "25 item=0 len=476 next", "21 0022",
        "22 00000000", "23 0000"}},
      {"+7", "7",
       {"22 00000007", "21 0012", "25 item=7 len=1024 first", "25 item=7 len=476 next", "21 0022",
        "22 00000007", "23 0007"}},
      {"65535", "65535",
       {"22 0000ffff", "21 0012", "25 item=65535 len=1024 first", "25 item=65535 len=476 next",
        "21 0022", "22 0000ffff", "23 ffff"}},
  };
  uint32_t seed = 20;  // a table of its own per case: the stored file is reused
  for (const Case& c : cases) {
    SCOPED_TRACE(c.option);
    const Bytes table = pattern(1500, ++seed);
    const Outcome r = run(table, {"--item", c.modem_item}, {"-n", c.option});
    EXPECT_EQ(r.result.status, 0);
    EXPECT_THAT(requests(), ElementsAreArray(c.expected));
    EXPECT_EQ(stored(), table);
  }
}

// -d and -f given twice keep their last values; a word that is not an option
// is ignored.
TEST_F(SarTool, RepeatedOptionsKeepTheirLastValue) {
  const Bytes table = pattern(10, 7);
  process::TempFile other(pattern(20, 8));
  modem_ = start_modem({"--table-out", stored_.path()});
  ASSERT_TRUE(modem_->ready());
  process::TempFile file(table);
  const Outcome r = tessel({"--command", "sar_tool", "-d", "/nonexistent/device", "-f", other.path(),
                        "stray", "-d", modem_->path(), "-f", file.path()});
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(full_update({10})));
  EXPECT_EQ(stored(), table);
}

}  // namespace
}  // namespace e2e

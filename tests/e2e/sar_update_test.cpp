// sar_tool bringing the simulated modem's SAR table in line with a file:
// the digests compared, the requests the modem receives in order, the table
// it ends up storing, and how the item number travels.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "e2e.h"

namespace e2e {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using Requests = std::vector<std::string>;

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
    std::vector<std::string> m = {"--table-out", stored_.path()};
    m.insert(m.end(), modem_args.begin(), modem_args.end());
    modem_ = start_modem(m);
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

TEST_F(SarTool, FirstRequestIsTheDigestQueryOfItem48001ByteForByte) {
  run({'a', 'b', 'c'}, {});
  const Bytes expected = {
      0x03, 0x00, 0x00, 0x00,  // MessageType: MBIM_COMMAND_MSG
      0x34, 0x00, 0x00, 0x00,  // MessageLength: 52
      0x01, 0x00, 0x00, 0x00,  // TransactionId 1
      0x01, 0x00, 0x00, 0x00,  // TotalFragments
      0x00, 0x00, 0x00, 0x00,  // CurrentFragment
      0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,  // DeviceServiceId:
      0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c,  //   2d0c12c9-0e6a-495a-915c-8d174fe5d63c
      0x16, 0x00, 0x00, 0x00,  // CID 22
      0x01, 0x00, 0x00, 0x00,  // CommandType: set, although it reads
      0x04, 0x00, 0x00, 0x00,  // InformationBufferLength
      0x00, 0x00, 0xbb, 0x81,  // item 48001, big-endian
  };
  const auto rx = modem_->rx();
  ASSERT_FALSE(rx.empty());
  EXPECT_EQ(Bytes(rx[0].begin(), rx[0].end()), expected);
}

struct SizeCase {
  const char* name;
  Bytes table;
  std::vector<int> chunks;
};

// Failure messages name the case rather than dumping its bytes.
void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

std::vector<int> chunks_of_70000() {
  std::vector<int> c(68, 1024);  // 68 * 1024 = 69632
  c.push_back(368);
  return c;
}

Bytes flag_and_escape_rich() {
  Bytes b(1024, 0x7E);                     // a whole chunk of flag bytes
  b.insert(b.end(), 1024, 0x7D);           // a whole chunk of escape bytes
  for (int i = 0; i < 300; ++i) b.insert(b.end(), {0x7D, 0x5E, 0x7E, 0x5D});  // look-alike pairs
  b.push_back(0x7D);                       // the table ends on an escape byte
  return b;
}

class TableSizes : public SarTool, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(TableSizes, DifferingDigestsWriteTheWholeFileInOrderAndTheModemStoresItExactly) {
  const SizeCase& c = GetParam();
  const Outcome r = run(c.table, {});
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(full_update(c.chunks)));
  EXPECT_EQ(stored(), c.table);
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

INSTANTIATE_TEST_SUITE_P(
    E2e, TableSizes,
    ::testing::Values(SizeCase{"OneByte", {0x42}, {1}},
                      SizeCase{"ExactlyOneChunk", pattern(1024, 1), {1024}},
                      SizeCase{"OneChunkAndOneByte", pattern(1025, 2), {1024, 1}},
                      SizeCase{"ThreeChunks", pattern(3000, 3), {1024, 1024, 952}},
                      SizeCase{"Beyond65535Bytes", pattern(70000, 4), chunks_of_70000()},
                      SizeCase{"FlagAndEscapeBytes", flag_and_escape_rich(), {1024, 1024, 1024, 177}}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

// A digest answer that is not 16 bytes leaves the zero-filled digest, which
// differs from any file's, so the update runs; the read-back shows zeros too.
TEST_F(SarTool, DigestAnswerOfWrongLengthShowsZerosAndTheUpdateRuns) {
  const Bytes table = pattern(100, 5);
  const Outcome r = run(table, {"--md5-length", "20"});
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] --- md5: ") + kZeroDigest));
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] md5: ") + kZeroDigest));
  EXPECT_THAT(requests(), ElementsAreArray(full_update({100})));
  EXPECT_EQ(stored(), table);
}

TEST_F(SarTool, EmptyFileHasTheDigestOfNothingAndSendsNoChunk) {
  const Outcome r = run({}, {"--md5-length", "0"});
  EXPECT_EQ(r.result.out, kUnInit);
  const auto log = records(r.result.err);
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] --- md5: ") + kZeroDigest));
  EXPECT_THAT(log, Contains(std::string("I src/main [tessel] +++ md5: ") + kMd5OfNothing));
  EXPECT_THAT(log, Contains("I src/mbim_protocol [tessel] (size=0)"));
  EXPECT_THAT(requests(), ElementsAreArray(full_update({})));
  EXPECT_EQ(stored(), Bytes());
}

struct ItemCase {
  const char* name;
  std::string option;   // the -n argument
  std::string modem_item;  // the simulator's --item, keyed as the tool sends it
  Requests expected;
};

// Failure messages name the case rather than dumping its bytes.
void PrintTo(const ItemCase& c, std::ostream* os) { *os << c.name; }

class ItemNumbers : public SarTool, public ::testing::WithParamInterface<ItemCase> {};

TEST_P(ItemNumbers, ItemTravelsBigEndianInQueryAndApplyAndInEveryWritePacket) {
  const ItemCase& c = GetParam();
  const Bytes table = pattern(1500, 6);
  const Outcome r = run(table, {"--item", c.modem_item}, {"-n", c.option});
  EXPECT_EQ(r.result.status, 0);
  EXPECT_THAT(requests(), ElementsAreArray(c.expected));
  EXPECT_EQ(stored(), table);
}

INSTANTIATE_TEST_SUITE_P(
    E2e, ItemNumbers,
    ::testing::Values(
        ItemCase{"One", "1", "1",
                 {"22 00000001", "21 0012", "25 item=1 len=1024 first", "25 item=1 len=476 next",
                  "21 0022", "22 00000001", "23 0001"}},
        ItemCase{"NotANumberIsZero", "abc", "0",
                 {"22 00000000", "21 0012", "25 item=0 len=1024 first", "25 item=0 len=476 next",
                  "21 0022", "22 00000000", "23 0000"}},
        // 0x7D00: the item's high byte is an escape byte inside the packet.
        ItemCase{"EscapeByteInItem", "32000", "32000",
                 {"22 00007d00", "21 0012", "25 item=32000 len=1024 first",
                  "25 item=32000 len=476 next", "21 0022", "22 00007d00", "23 7d00"}},
        ItemCase{"TrailingCharactersIgnored", "7x", "7",
                 {"22 00000007", "21 0012", "25 item=7 len=1024 first", "25 item=7 len=476 next",
                  "21 0022", "22 00000007", "23 0007"}},
        // 70000 = 0x00011170: the packets and the apply carry the low 16 bits.
        ItemCase{"Above16Bits", "70000", "70000",
                 {"22 00011170", "21 0012", "25 item=4464 len=1024 first", "25 item=4464 len=476 next",
                  "21 0022", "22 00011170", "23 1170"}}),
    [](const ::testing::TestParamInfo<ItemCase>& info) { return std::string(info.param.name); });

// The modem sends an indication (TransactionId 0) and an answer to a request
// never made (TransactionId + 1000) ahead of every reply, in writes of their
// own or in the reply's own write; only the real replies are taken.
class ForeignMessages : public SarTool, public ::testing::WithParamInterface<bool> {};

TEST_P(ForeignMessages, IndicationsAndStrayAnswersAroundEachReplyAreIgnored) {
  const Bytes table = pattern(3000, 9);
  std::vector<std::string> modem_args = {"--inject", "indication,unrelated"};
  if (GetParam()) modem_args.push_back("--inject-same-write");
  const Outcome r = run(table, modem_args);
  EXPECT_EQ(r.result.out, kUnInit);
  EXPECT_THAT(records(r.result.err), Not(Contains(StartsWith("E "))));
  EXPECT_THAT(requests(), ElementsAreArray(full_update({1024, 1024, 952})));
  EXPECT_EQ(stored(), table);
}

INSTANTIATE_TEST_SUITE_P(E2e, ForeignMessages, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "InTheReplysWrite" : "InWritesOfTheirOwn");
                         });

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

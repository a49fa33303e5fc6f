// The modem simulator seen from outside: started as a child on a socket file,
// sent hand-built requests, its replies checked byte for byte. The end-to-end
// tests exercise every other answer and knob through the tool itself.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "byte_order/byte_order.h"
#include "mbim_answer.h"
#include "process.h"
#include "reference_fcs.h"
#include "service_ids.h"

namespace {

using Bytes = std::vector<uint8_t>;
using tessel::get_le16;
using tessel::get_le32;

Bytes le32(uint32_t v) {
  Bytes b(4);
  tessel::put_le32(b.data(), v);
  return b;
}

using service_ids::kQmbe;

// A single-fragment QMBE set command: MessageType 3, MessageLength,
// TransactionId, TotalFragments 1, CurrentFragment 0, service, CID,
// CommandType 1, InformationBufferLength, InformationBuffer.
Bytes command(uint32_t tid, uint32_t cid, const Bytes& info) {
  Bytes m;
  for (const Bytes& part : {le32(3), le32(uint32_t(48 + info.size())), le32(tid), le32(1), le32(0),
                            kQmbe, le32(cid), le32(1), le32(uint32_t(info.size())), info})
    m.insert(m.end(), part.begin(), part.end());
  return m;
}
Bytes done(uint32_t tid, uint32_t cid, uint32_t status, const Bytes& info) {
  return mbim_answer::command_done(tid, status, info, -1, kQmbe.data(), cid);
}

class ModemSim : public ::testing::Test {
 protected:
  // Starts the simulator with `knobs` on a socket file of its own, keeping
  // the stored table in stored_, and connects to it.
  void start(std::vector<std::string> knobs) {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    static int counter = 0;
    const std::string path =
        "/tmp/tessel-sim-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    knobs.insert(knobs.begin(), {"--socket", path, "--table-out", stored_.path()});
    sim_ = std::make_unique<process::Simulator>(knobs);
    ASSERT_TRUE(sim_->ready()) << sim_->notes();
    fd_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, sim_->path().c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }

  // A simulator that refuses its command line: its exit status and stderr.
  static process::Result refused(std::vector<std::string> knobs) {
    knobs.insert(knobs.begin(), {TESSEL_MODEM_SIM_BIN, "--socket", "/tmp/tessel-sim-test-never"});
    return process::run(knobs);
  }

  // Sends `request` and returns the whole reply, by its MessageLength; what
  // arrived so far after 2 s of silence.
  Bytes exchange(const Bytes& request) {
    EXPECT_EQ(write(fd_, request.data(), request.size()), ssize_t(request.size()));
    Bytes got;
    while (got.size() < 8 || got.size() < get_le32(&got[4])) {  // MessageLength
      pollfd p{fd_, POLLIN, 0};
      uint8_t chunk[4096];
      if (poll(&p, 1, 2000) != 1) break;
      const ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) break;
      got.insert(got.end(), chunk, chunk + n);
    }
    return got;
  }

  process::TempFile stored_;
  std::unique_ptr<process::Simulator> sim_;
  int fd_ = -1;
};

// The first chunk of item 48001, "abc", as one HDLC frame.
const Bytes kWriteAbc = {0x4b, 0x0b, 0x24, 0x00,   // DIAG command 4B, subsystem 0B, 0x0024
                         0x78, 0x02,               // write operation 0x0278
                         0x00, 0x00, 0x00, 0x00,   // zero words
                         0x81, 0xbb,               // item 48001 low 16 bits
                         0x03, 0x00,               // n = 3
                         0x00,                     // first chunk
                         0x61, 0x62, 0x63,         // "abc"
                         0x0d, 0x29,               // FCS 0x290D, low byte first
                         0x7e};                    // closing flag

// Read packets at the running offsets 0 and 1000, framed (no byte needs escaping).
const Bytes kReadAt0 = {0x4b, 0x0b, 0x24, 0x00,  // DIAG command 4B, subsystem 0B, 0x0024
                        0x77, 0x02,              // read operation 0x0277
                        0x00, 0x00, 0x00, 0x00,  // zero words
                        0xfd, 0xff,              // 0xFFFD
                        0x00, 0x00,              // offset 0
                        0xc5, 0xc1,              // FCS 0xC1C5
                        0x7e};
const Bytes kReadAt1000 = {0x4b, 0x0b, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00, 0x00, 0x00, 0xfd, 0xff,
                           0xe8, 0x03,           // offset 1000
                           0x07, 0xd4,           // FCS 0xD407
                           0x7e};

struct ReadReply {
  uint16_t read_len = 0;
  uint16_t remaining = 0;
  Bytes data;
};

// The DIAG read reply in a COMMAND_DONE of CID 25, Status 0: unescaped, its
// header, FCS and flag checked, its counts and data taken out.
ReadReply read_reply_of(const Bytes& message) {
  const Bytes head = {0x4b, 0x0b, 0x24, 0x00, 0x77, 0x02, 0x00, 0x00,
                      0x0e, 0x00, 0x02, 0x00, 0xfd, 0xff};
  ReadReply r;
  if (message.size() < 48 + 1) {
    ADD_FAILURE() << "no InformationBuffer in " << message.size() << " bytes";
    return r;
  }
  EXPECT_EQ(message[40], 0);  // Status
  EXPECT_EQ(message.back(), 0x7e);
  Bytes raw;
  for (size_t i = 48; i + 1 < message.size(); ++i)
    raw.push_back(message[i] == 0x7d ? uint8_t(message[++i] ^ 0x20) : message[i]);
  if (raw.size() < 22) {
    ADD_FAILURE() << "read reply of " << raw.size() << " bytes";
    return r;
  }
  const Bytes body(raw.begin(), raw.end() - 2);
  EXPECT_EQ(get_le16(&raw[raw.size() - 2]), reference_fcs(body));
  EXPECT_EQ(Bytes(body.begin(), body.begin() + 14), head);
  r.read_len = get_le16(&body[14]);
  r.remaining = get_le16(&body[16]);
  EXPECT_EQ(get_le16(&body[18]), 0);
  r.data.assign(body.begin() + 20, body.end());
  return r;
}

TEST_F(ModemSim, TwoChunkWriteWithEscapedBytesIsStoredAndItsDigestIsTheMd5OfTheData) {
  start({});
  const Bytes& chunk1 = kWriteAbc;
  // Chunk 2, the bytes 7E 7D, which travel escaped.
  const Bytes chunk2 = {0x4b, 0x0b, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00,
                        0x81, 0xbb,               // item 48001
                        0x02, 0x00,               // n = 2
                        0x01,                     // a later chunk: appended
                        0x7d, 0x5e,               // 7E escaped
                        0x7d, 0x5d,               // 7D escaped
                        0xfb, 0x2f,               // FCS 0x2FFB
                        0x7e};
  const Bytes write_reply = {0x4b, 0x0b, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00,
                             0x0e, 0x00, 0x02, 0x00, 0xfd, 0xff,  // the signature
                             0x00, 0x00,                          // status: done
                             0x8e, 0xe6,                          // FCS 0xE68E
                             0x7e};
  EXPECT_EQ(exchange(command(1, 25, chunk1)), done(1, 25, 0, write_reply));
  EXPECT_EQ(exchange(command(2, 25, chunk2)), done(2, 25, 0, write_reply));
  // Digest of item 48001, big-endian: MD5("abc~}") = 04a850ce2f38bee375ae0f958b273b45.
  EXPECT_EQ(exchange(command(3, 22, {0x00, 0x00, 0xbb, 0x81})),
            done(3, 22, 0, {0x04, 0xa8, 0x50, 0xce, 0x2f, 0x38, 0xbe, 0xe3, 0x75, 0xae, 0x0f, 0x95,
                            0x8b, 0x27, 0x3b, 0x45}));
  EXPECT_EQ(stored_.read(), (Bytes{'a', 'b', 'c', 0x7e, 0x7d}));
}

TEST_F(ModemSim, BusyKnobRefusesTheNextRequestThenAnswers) {
  start({"--busy", "22:1"});
  EXPECT_EQ(exchange(command(1, 22, {0x00, 0x00, 0xbb, 0x81})), done(1, 22, 1, {}));  // BUSY
  // Nothing written yet: MD5 of no bytes, d41d8cd98f00b204e9800998ecf8427e.
  EXPECT_EQ(exchange(command(2, 22, {0x00, 0x00, 0xbb, 0x81})),
            done(2, 22, 0, {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04, 0xe9, 0x80, 0x09, 0x98,
                            0xec, 0xf8, 0x42, 0x7e}));
}

TEST_F(ModemSim, FrameWithBadFcsIsRefusedWithFailureAndNothingIsStored) {
  start({});
  const Bytes chunk = {0x4b, 0x0b, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00,
                       0x81, 0xbb, 0x03, 0x00, 0x00, 0x61, 0x62, 0x63,
                       0x0d, 0x2a,   // FCS off by one in its high byte (right: 0D 29)
                       0x7e};
  EXPECT_EQ(exchange(command(4, 25, chunk)), done(4, 25, 2, {}));  // Status FAILURE
  EXPECT_TRUE(stored_.read().empty());
}

TEST_F(ModemSim, FailKnobsRefuseTheNthWriteChunkOnceAndEveryRead) {
  start({"--fail-write-chunk", "2"});
  EXPECT_EQ(exchange(command(1, 25, kWriteAbc)).at(40), 0);  // Status of chunk 1
  // A first chunk would clear the table: refused, "abc" stays stored.
  EXPECT_EQ(exchange(command(2, 25, kWriteAbc)), done(2, 25, 2, {}));
  EXPECT_EQ(stored_.read(), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(exchange(command(3, 25, kWriteAbc)).at(40), 0);  // once only
  start({"--fail-reads"});
  EXPECT_EQ(exchange(command(4, 25, kReadAt0)), done(4, 25, 2, {}));
  EXPECT_EQ(refused({"--fail-write-chunk", "0"}).status, 2);
}

TEST_F(ModemSim, ReadChunkSetsTheBytesPerReplyAndAWholeReplyFitsOneTransfer) {
  // A table of 0x7E bytes, each escaped: the largest replies there are.
  process::TempFile table(Bytes(4500, 0x7e));
  for (const size_t chunk : {1, 1000, 2000}) {
    SCOPED_TRACE(chunk);
    start({"--table-in", table.path(), "--read-chunk", std::to_string(chunk)});
    const Bytes reply = exchange(command(1, 25, kReadAt0));
    EXPECT_LE(reply.size(), 4096u);
    if (chunk == 2000) {
      // MBIM header, the 20 packet header bytes (none escapable here), 2000
      // data bytes escaped, the FCS (not escaped for this table) and the flag.
      EXPECT_EQ(reply.size(), 48 + 20 + 2 * 2000 + 2 + 1u);
    }
    const ReadReply r = read_reply_of(reply);
    EXPECT_EQ(r.read_len, chunk);
    EXPECT_EQ(r.remaining, 4500 - chunk);
    EXPECT_EQ(r.data, Bytes(chunk, 0x7e));
  }
  const process::Result bad = refused({"--read-chunk", "2001"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("1 to 2000"), std::string::npos) << bad.err;
}

TEST_F(ModemSim, ReadLiesComeAfterAnHonestFirstReplyAndALongTableAnnouncesMoreThan65535) {
  struct Case {
    const char* lie;  // --read-lie, or none
    size_t size;      // table bytes
    ReadReply second;  // the reply at offset 1000
  };
  const Bytes t = process::pattern(70000, 7);
  auto part = [&t](size_t from, size_t to) { return Bytes(t.begin() + from, t.begin() + to); };
  Bytes overlong = part(1000, 1500);
  overlong.push_back(0x00);
  const Case cases[] = {
      {"total-changes", 1500, {500, 1, part(1000, 1500)}},  // 1500 + 1
      {"overlong", 1500, {501, 0, overlong}},               // one byte past the table
      {"empty", 1500, {0, 500, {}}},
      // 16 bits cannot say 69000 remain: 65535 do, 66535 in all.
      {nullptr, 70000, {1000, 65535, part(1000, 2000)}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lie != nullptr ? c.lie : "no lie");
    process::TempFile table(part(0, c.size));
    std::vector<std::string> knobs = {"--table-in", table.path()};
    if (c.lie != nullptr) knobs.insert(knobs.end(), {"--read-lie", c.lie});
    start(knobs);
    const ReadReply first = read_reply_of(exchange(command(1, 25, kReadAt0)));
    EXPECT_EQ(first.read_len, 1000);
    EXPECT_EQ(first.remaining, std::min<size_t>(c.size - 1000, 65535));
    EXPECT_EQ(first.data, part(0, 1000));
    const ReadReply second = read_reply_of(exchange(command(2, 25, kReadAt1000)));
    EXPECT_EQ(second.read_len, c.second.read_len);
    EXPECT_EQ(second.remaining, c.second.remaining);
    EXPECT_EQ(second.data, c.second.data);
  }
  const process::Result bad = refused({"--read-lie", "short"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("total-changes, overlong or empty"), std::string::npos) << bad.err;
}

TEST_F(ModemSim, DigestKnobsHoldBackWhatCid22ReportsAfterAWriteAndAnApply) {
  // MD5("xyz") and MD5("abc").
  const Bytes xyz = {0xd1, 0x6f, 0xb3, 0x6f, 0x09, 0x11, 0xf8, 0x78,
                     0x99, 0x8c, 0x13, 0x61, 0x91, 0xaf, 0x70, 0x5e};
  const Bytes abc = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                     0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
  struct Case {
    const char* knob;     // or none
    Bytes after_write;    // CID 22 after "abc" is written over the preloaded "xyz"
    Bytes after_apply;    // and after it is applied
  };
  const Case cases[] = {
      {nullptr, abc, abc},
      {"--md5-after-apply", xyz, abc},
      {"--md5-frozen", xyz, xyz},
  };
  const Bytes item = {0x00, 0x00, 0xbb, 0x81};  // 48001, big-endian
  process::TempFile preloaded(Bytes{'x', 'y', 'z'});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.knob != nullptr ? c.knob : "no knob");
    std::vector<std::string> knobs = {"--table-in", preloaded.path()};
    if (c.knob != nullptr) knobs.push_back(c.knob);
    start(knobs);
    EXPECT_EQ(exchange(command(1, 22, item)), done(1, 22, 0, xyz));
    ASSERT_EQ(exchange(command(2, 25, kWriteAbc)).size(), 48 + 19u);  // the write reply
    EXPECT_EQ(exchange(command(3, 22, item)), done(3, 22, 0, c.after_write));
    EXPECT_EQ(exchange(command(4, 23, {0xbb, 0x81})), done(4, 23, 0, {}));  // apply 48001
    EXPECT_EQ(exchange(command(5, 22, item)), done(5, 22, 0, c.after_apply));
    EXPECT_EQ(stored_.read(), (Bytes{'a', 'b', 'c'}));
  }
}

}  // namespace

// The modem simulator seen from outside: started as a child on a socket file,
// sent hand-built requests, its replies checked byte for byte. The end-to-end
// tests exercise every other answer and knob through the tool itself.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "mbim_answer.h"
#include "process.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

// QMBE, 2d0c12c9-0e6a-495a-915c-8d174fe5d63c, as it travels in DeviceServiceId.
const Bytes kQmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                     0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};

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

  // Sends `request` and returns the whole reply, by its MessageLength; what
  // arrived so far after 2 s of silence.
  Bytes exchange(const Bytes& request) {
    EXPECT_EQ(write(fd_, request.data(), request.size()), ssize_t(request.size()));
    Bytes got;
    while (got.size() < 8 ||
           got.size() < (got[4] | got[5] << 8 | got[6] << 16 | size_t(got[7]) << 24)) {
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

TEST_F(ModemSim, TwoChunkWriteWithEscapedBytesIsStoredAndItsDigestIsTheMd5OfTheData) {
  start({});
  // Chunk 1, "abc", as one HDLC frame.
  const Bytes chunk1 = {0x4b, 0x0b, 0x24, 0x00,   // DIAG command 4B, subsystem 0B, 0x0024
                        0x78, 0x02,               // write operation 0x0278
                        0x00, 0x00, 0x00, 0x00,   // zero words
                        0x81, 0xbb,               // item 48001 low 16 bits
                        0x03, 0x00,               // n = 3
                        0x00,                     // first chunk
                        0x61, 0x62, 0x63,         // "abc"
                        0x0d, 0x29,               // FCS 0x290D, low byte first
                        0x7e};                    // closing flag
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

}  // namespace

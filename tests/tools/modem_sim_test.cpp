// The modem simulator seen from outside: started as a child on a socket file,
// sent hand-built requests, its replies checked byte for byte.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kReplyTimeoutMs = 2000;

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

Bytes le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

std::string hex(const Bytes& b) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t x : b) {
    s.push_back(kDigits[x >> 4]);
    s.push_back(kDigits[x & 15]);
  }
  return s;
}

// Service UUIDs as they travel in DeviceServiceId.
const Bytes kQmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                     0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
const Bytes kAtTunnel = {0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,
                         0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83};

// MBIM_COMMAND_MSG, set, single fragment.
Bytes command(uint32_t tid, const Bytes& service, uint32_t cid, const Bytes& info) {
  return cat({le32(3),                                    // MessageType: COMMAND_MSG
              le32(uint32_t(48 + info.size())),           // MessageLength
              le32(tid),                                  // TransactionId
              le32(1), le32(0),                           // TotalFragments, CurrentFragment
              service, le32(cid),                         // DeviceServiceId, CID
              le32(1),                                    // CommandType: set
              le32(uint32_t(info.size())), info});        // InformationBuffer
}

// MBIM_COMMAND_DONE as the modem must send it.
Bytes done(uint32_t tid, const Bytes& service, uint32_t cid, uint32_t status, const Bytes& info) {
  return cat({le32(0x80000003),                           // MessageType: COMMAND_DONE
              le32(uint32_t(48 + info.size())),           // MessageLength
              le32(tid),                                  // TransactionId of the request
              le32(1), le32(0),                           // TotalFragments, CurrentFragment
              service, le32(cid),                         // echoed service and CID
              le32(status),                               // Status
              le32(uint32_t(info.size())), info});
}

// A running simulator on a socket file of its own; stopped with SIGTERM.
class Simulator {
 public:
  explicit Simulator(const std::vector<std::string>& knobs) {
    static int counter = 0;
    const std::string stem =
        "/tmp/tessel-sim-test-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    socket_path_ = stem + ".sock";
    log_path_ = stem + ".log";
    table_path_ = stem + ".table";
    unlink(log_path_.c_str());
    unlink(table_path_.c_str());

    std::vector<std::string> args = {TESSEL_MODEM_SIM_PATH, "--socket", socket_path_, "--log",
                                     log_path_, "--table-out", table_path_,
                                     "--exit-on-stdin-eof"};
    args.insert(args.end(), knobs.begin(), knobs.end());
    // Under emulation (the armhf tests) the simulator runs under it too.
    if (const char* emulator = std::getenv("TESSEL_TEST_EMULATOR")) {
      std::istringstream words(emulator);
      std::vector<std::string> prefix;
      for (std::string w; words >> w;) prefix.push_back(w);
      args.insert(args.begin(), prefix.begin(), prefix.end());
    }
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);

    int out[2];
    int in[2];
    if (pipe(out) != 0 || pipe(in) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(in[0]);
    stdout_ = out[0];
    stdin_ = in[1];  // closing it ends the simulator should the test die first
  }

  ~Simulator() {
    if (client_ >= 0) close(client_);
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) close(stdout_);
    if (stdin_ >= 0) close(stdin_);
    unlink(log_path_.c_str());
    unlink(table_path_.c_str());
  }

  // Waits for "READY <path>" and connects; false when either fails.
  bool connect() {
    std::string line;
    while (line.find('\n') == std::string::npos) {
      pollfd p{stdout_, POLLIN, 0};
      if (pid_ <= 0 || poll(&p, 1, kReplyTimeoutMs) != 1) return false;
      char c[64];
      ssize_t n = read(stdout_, c, sizeof c);
      if (n <= 0) return false;
      line.append(c, size_t(n));
    }
    if (line != "READY " + socket_path_ + "\n") return false;
    client_ = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket_path_.c_str(), sizeof addr.sun_path - 1);
    return ::connect(client_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  }

  void send(const Bytes& bytes) {
    ASSERT_EQ(write(client_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }

  // The next whole message, by its MessageLength; empty after 2 s of silence.
  Bytes receive() {
    while (true) {
      if (held_.size() >= 8) {
        size_t length = held_[4] | held_[5] << 8 | held_[6] << 16 | size_t(held_[7]) << 24;
        if (held_.size() >= length) {
          Bytes message(held_.begin(), held_.begin() + long(length));
          held_.erase(held_.begin(), held_.begin() + long(length));
          return message;
        }
      }
      pollfd p{client_, POLLIN, 0};
      if (poll(&p, 1, kReplyTimeoutMs) != 1) return {};
      uint8_t chunk[4096];
      ssize_t n = read(client_, chunk, sizeof chunk);
      if (n <= 0) return {};
      held_.insert(held_.end(), chunk, chunk + n);
    }
  }

  // Stops the simulator and returns its exit status (-1 when it did not exit normally).
  int stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string file(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string log() const { return file(log_path_); }
  std::string stored_table() const { return file(table_path_); }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  int stdin_ = -1;
  int client_ = -1;
  std::string socket_path_;
  std::string log_path_;
  std::string table_path_;
  Bytes held_;
};

TEST(ModemSim, OpenIsAnsweredWithOpenDoneAndStopExitsCleanly) {
  Simulator sim({});
  ASSERT_TRUE(sim.connect());
  const Bytes open = {0x01, 0x00, 0x00, 0x00,   // MessageType: OPEN_MSG
                      0x10, 0x00, 0x00, 0x00,   // MessageLength 16
                      0x07, 0x00, 0x00, 0x00,   // TransactionId 7
                      0x00, 0x10, 0x00, 0x00};  // MaxControlTransfer 4096
  sim.send(open);
  EXPECT_EQ(sim.receive(), (Bytes{0x01, 0x00, 0x00, 0x80,     // MessageType: OPEN_DONE
                                  0x10, 0x00, 0x00, 0x00,     // MessageLength 16
                                  0x07, 0x00, 0x00, 0x00,     // TransactionId 7
                                  0x00, 0x00, 0x00, 0x00}));  // Status SUCCESS
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_EQ(sim.log(),
            "RX 01000000100000000700000000100000\n"    // the open, as received
            "TX 01000080100000000700000000000000\n");  // the open done, as sent
}

TEST(ModemSim, TwoChunkWriteIsStoredAndItsDigestIsTheMd5OfTheData) {
  Simulator sim({});
  ASSERT_TRUE(sim.connect());
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
  sim.send(command(1, kQmbe, 25, chunk1));
  EXPECT_EQ(sim.receive(), done(1, kQmbe, 25, 0, write_reply));
  sim.send(command(2, kQmbe, 25, chunk2));
  EXPECT_EQ(sim.receive(), done(2, kQmbe, 25, 0, write_reply));

  sim.send(command(3, kQmbe, 22, {0x00, 0x00, 0xbb, 0x81}));  // item 48001, big-endian
  // MD5("abc~}") = 04a850ce2f38bee375ae0f958b273b45
  EXPECT_EQ(sim.receive(), done(3, kQmbe, 22, 0,
                                {0x04, 0xa8, 0x50, 0xce, 0x2f, 0x38, 0xbe, 0xe3, 0x75, 0xae,
                                 0x0f, 0x95, 0x8b, 0x27, 0x3b, 0x45}));
  EXPECT_EQ(sim.stored_table(), "abc~}");
}

TEST(ModemSim, AtCommandIsAnsweredWithTheReplyTextAfterTheLeadingWord) {
  Simulator sim({});
  ASSERT_TRUE(sim.connect());
  sim.send(command(5, kAtTunnel, 8, {0x00, 0x00, 0x00, 0x00, 'A', 'T'}));
  EXPECT_EQ(sim.receive(), done(5, kAtTunnel, 8, 0,
                                {0x00, 0x00, 0x00, 0x00,                    // leading word
                                 '\r', '\n', 'O', 'K', '\r', '\n'}));       // default reply
}

TEST(ModemSim, BusyKnobRefusesTheNextRequestThenAnswers) {
  Simulator sim({"--busy", "22:1"});
  ASSERT_TRUE(sim.connect());
  sim.send(command(1, kQmbe, 22, {0x00, 0x00, 0xbb, 0x81}));
  EXPECT_EQ(sim.receive(), done(1, kQmbe, 22, 1, {}));  // Status BUSY, no data
  sim.send(command(2, kQmbe, 22, {0x00, 0x00, 0xbb, 0x81}));
  // Nothing written yet: MD5 of no bytes, d41d8cd98f00b204e9800998ecf8427e.
  EXPECT_EQ(sim.receive(), done(2, kQmbe, 22, 0,
                                {0xd4, 0x1d, 0x8c, 0xd9, 0x8f, 0x00, 0xb2, 0x04, 0xe9, 0x80,
                                 0x09, 0x98, 0xec, 0xf8, 0x42, 0x7e}));
}

TEST(ModemSim, FunctionErrorKnobAnswersWithTheErrorMessage) {
  Simulator sim({"--function-error", "8:3"});
  ASSERT_TRUE(sim.connect());
  sim.send(command(9, kAtTunnel, 8, {0x00, 0x00, 0x00, 0x00, 'A', 'T'}));
  EXPECT_EQ(sim.receive(), (Bytes{0x04, 0x00, 0x00, 0x80,     // FUNCTION_ERROR_MSG
                                  0x10, 0x00, 0x00, 0x00,     // MessageLength 16
                                  0x09, 0x00, 0x00, 0x00,     // TransactionId 9
                                  0x03, 0x00, 0x00, 0x00}));  // LENGTH_MISMATCH
}

TEST(ModemSim, FrameWithBadFcsIsRefusedWithFailureAndNothingIsStored) {
  Simulator sim({});
  ASSERT_TRUE(sim.connect());
  const Bytes chunk = {0x4b, 0x0b, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00,
                       0x81, 0xbb, 0x03, 0x00, 0x00, 0x61, 0x62, 0x63,
                       0x0d, 0x2a,   // FCS off by one in its high byte (right: 0D 29)
                       0x7e};
  sim.send(command(4, kQmbe, 25, chunk));
  EXPECT_EQ(sim.receive(), done(4, kQmbe, 25, 2, {}));  // Status FAILURE
  EXPECT_EQ(sim.stored_table(), "");
}

TEST(ModemSim, RequestsSplitOrSharingOneWriteAreEachAnsweredAndLogged) {
  Simulator sim({});
  ASSERT_TRUE(sim.connect());
  const Bytes at = command(1, kAtTunnel, 8, {0x00, 0x00, 0x00, 0x00, 'A', 'T'});
  sim.send(Bytes(at.begin(), at.begin() + 10));  // header cut inside MessageLength's word
  usleep(20000);
  sim.send(cat({Bytes(at.begin() + 10, at.end()), command(2, kAtTunnel, 8, le32(0))}));
  const Bytes ok = {0x00, 0x00, 0x00, 0x00, '\r', '\n', 'O', 'K', '\r', '\n'};
  EXPECT_EQ(sim.receive(), done(1, kAtTunnel, 8, 0, ok));
  EXPECT_EQ(sim.receive(), done(2, kAtTunnel, 8, 0, ok));
  EXPECT_EQ(sim.stop(), 0);
  EXPECT_EQ(sim.log(), "RX " + hex(at) + "\nTX " + hex(done(1, kAtTunnel, 8, 0, ok)) +
                           "\nRX " + hex(command(2, kAtTunnel, 8, le32(0))) + "\nTX " +
                           hex(done(2, kAtTunnel, 8, 0, ok)) + "\n");
}

TEST(ModemSim, ImpossibleMessageLengthIsDroppedAndTheNextRequestIsAnswered) {
  Simulator sim({});
  ASSERT_TRUE(sim.connect());
  const Bytes lie = {0x03, 0x00, 0x00, 0x80,   // MessageType: COMMAND_DONE
                     0x05, 0x00, 0x00, 0x00,   // MessageLength 5: shorter than a header
                     0x00, 0x00, 0x00, 0x00};  // TransactionId 0
  sim.send(lie);
  // Only once the simulator has read and dropped those bytes does the request
  // go out; in the same read it would have been dropped with them.
  const std::string dropped = "DROP 030000800500000000000000\n";
  for (int waited_ms = 0; sim.log() != dropped && waited_ms < kReplyTimeoutMs; waited_ms += 10) {
    usleep(10000);
  }
  ASSERT_EQ(sim.log(), dropped);
  sim.send(command(3, kAtTunnel, 8, le32(0)));
  EXPECT_EQ(sim.receive(), done(3, kAtTunnel, 8, 0,
                                {0x00, 0x00, 0x00, 0x00, '\r', '\n', 'O', 'K', '\r', '\n'}));
}

}  // namespace

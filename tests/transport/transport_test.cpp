// The exchange and the reader thread over a socketpair: the test plays the
// modem (or the proxy) on the far end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "capture_log.h"
#include "transport/context.h"
#include "transport/exchange.h"
#include "transport/transport.h"
#include "mbim_format/build_command.h"
#include "mbim_answer.h"
#include "byte_order/byte_order.h"
#include "test_messages.h"

namespace {

using namespace test_messages;
using tessel::MessagePtr;
using Clock = std::chrono::steady_clock;

uint32_t tid_of(const std::vector<uint8_t>& m) { return tessel::get_le32(m.data() + 8); }
uint32_t tid_of(const uint8_t* m) { return tessel::get_le32(m + 8); }

bool has_record(const std::string& format) { return !capture_log::with_format(format).empty(); }

// Waits up to two seconds for a record with `format`.
bool wait_for_record(const std::string& format) {
  const auto until = Clock::now() + std::chrono::seconds(2);
  while (Clock::now() < until) {
    if (has_record(format)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// Expects `count` records with `format`, each at `level`.
void expect_records(const std::string& format, size_t count, uint32_t level) {
  const auto records = capture_log::with_format(format);
  EXPECT_EQ(records.size(), count) << format;
  for (const auto& r : records) EXPECT_EQ(r.level, level) << format;
}

class Transport : public ::testing::Test {
 protected:
  void SetUp() override {
    capture_log::clear();
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv_), 0);
  }
  void TearDown() override {
    tessel::ctx_deinit();
    if (sv_[1] != -1) close(sv_[1]);
  }

  void connect(int verbose = 1) {
    ASSERT_TRUE(tessel::ctx_init(verbose).ok());
    ASSERT_TRUE(tessel::ctx_adopt_channel(sv_[0], /*stream=*/true).ok());
  }

  // Reads one whole request from the far end, waiting up to two seconds.
  std::vector<uint8_t> read_request() {
    std::vector<uint8_t> got;
    const auto until = Clock::now() + std::chrono::seconds(2);
    while (Clock::now() < until) {
      if (got.size() >= 8 && got.size() >= tessel::get_le32(got.data() + 4)) break;
      pollfd p = {sv_[1], POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      uint8_t buf[4096];
      const ssize_t n = read(sv_[1], buf, sizeof buf);
      if (n <= 0) break;
      got.insert(got.end(), buf, buf + n);
    }
    return got;
  }

  void reply(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(write(sv_[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  void hang_up() {
    close(sv_[1]);
    sv_[1] = -1;
  }

  MessagePtr request() {
    return tessel::build_command(tessel::kUuidQmbe, 21, 0, nullptr, 0);
  }

  int sv_[2] = {-1, -1};
};

TEST_F(Transport, WithoutAChannelTheRequestIsRefusedSilently) {
  ASSERT_TRUE(tessel::ctx_init(1).ok());
  auto req = request();
  uint8_t* response = reinterpret_cast<uint8_t*>(&sv_);  // must stay untouched
  EXPECT_EQ(tessel::send_request(req.get(), &response).code, tessel::Code::kNoChannel);
  EXPECT_EQ(response, reinterpret_cast<uint8_t*>(&sv_));
  EXPECT_EQ(tessel::send_request(nullptr, nullptr).code, tessel::Code::kNoChannel);
  EXPECT_TRUE(capture_log::records().empty());
}

TEST_F(Transport, TheResponseWithTheRequestsIdIsHandedOverAsACopy) {
  connect();
  auto req = request();
  const std::vector<uint8_t> sent(req.get(), req.get() + 48);
  std::vector<uint8_t> answer;
  std::thread modem([&] {
    auto got = read_request();
    EXPECT_EQ(got, sent);
    answer = command_done(tid_of(got), 60);
    answer[59] = 0xAB;
    reply(answer);
  });
  uint8_t* response = nullptr;
  EXPECT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  ASSERT_NE(response, nullptr);
  MessagePtr owned(response);
  EXPECT_EQ(std::vector<uint8_t>(response, response + 60), answer);
  EXPECT_EQ(std::vector<uint8_t>(req.get(), req.get() + 48), sent);  // request untouched
  auto length = capture_log::with_format("[tessel] MessageLength:%d");
  ASSERT_EQ(length.size(), 1u);
  EXPECT_EQ(length[0].values, std::vector<uint32_t>{48});
}

TEST_F(Transport, IndicationsAndOtherIdsNeverMatchEvenInTheSameRead) {
  connect();
  auto req = request();
  std::thread modem([&] {
    const uint32_t tid = tid_of(read_request());
    reply(join(join(indication(), command_done(tid + 1, 52)), command_done(tid, 56)));
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response + 4), 56u);
  // Every message was dumped, in order: the request, then the three received.
  std::vector<uint32_t> ids;
  for (const auto& r : capture_log::with_format("[tessel] TransactionId = %u"))
    ids.push_back(r.values[0]);
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(ids[1], 0u);
  EXPECT_EQ(ids[2], ids[0] + 1);
  EXPECT_EQ(ids[3], ids[0]);
}

TEST_F(Transport, AFunctionErrorIsHandedOverLikeAResponse) {
  connect();
  auto req = request();
  std::thread modem([&] {
    auto error = message(0x80000004, 16, tid_of(read_request()));
    tessel::put_le32(&error[12], 3);
    reply(error);
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_request(req.get(), &response).ok());
  modem.join();
  MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response), 0x80000004u);
}

TEST_F(Transport, MessagesOfTheWrongTypeWithTheRequestsIdArePassedOver) {
  connect();
  auto req = request();  // an MBIM_COMMAND_MSG
  std::thread modem([&] {
    const std::vector<uint8_t> got = read_request();
    const uint32_t tid = tid_of(got);
    auto open_done = message(0x80000001, 16, tid);   // Status 0 at offset 12
    auto indication = message(0x80000007, 52, tid);  // its own layout, not a done's
    auto echo = got;                                 // the request itself
    reply(join(join(join(open_done, indication), echo), command_done(tid, 56)));
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response), 0x80000003u);
  EXPECT_EQ(tessel::get_le32(response + 4), 56u);
  auto passed = capture_log::with_format(
      "[tessel] TransactionId %u: MessageType 0x%08x cannot answer it; ignored");
  ASSERT_EQ(passed.size(), 3u);
  const uint32_t tid = tid_of(req.get());
  EXPECT_EQ(passed[0].values, (std::vector<uint32_t>{tid, 0x80000001u}));
  EXPECT_EQ(passed[1].values, (std::vector<uint32_t>{tid, 0x80000007u}));
  EXPECT_EQ(passed[2].values, (std::vector<uint32_t>{tid, 0x00000003u}));
  EXPECT_EQ(passed[0].level, 8u);
}

// A late answer to an earlier run's request may carry this request's
// TransactionId (every run starts at 1): only the request's own service and
// CID make a COMMAND_DONE its answer.
TEST_F(Transport, AnAnswerNamingAnotherServiceOrCidIsPassedOver) {
  connect();
  auto req = request();  // QMBE, CID 21
  const uint8_t kBasicConnect[16] = {0xa2, 0x89, 0xcc, 0x33, 0xbc, 0xbb, 0x8b, 0x4f,
                                     0xb6, 0xb0, 0x13, 0x3e, 0xc2, 0xaa, 0xe6, 0xdf};
  std::thread modem([&] {
    const uint32_t tid = tid_of(read_request());
    const std::vector<uint8_t> digest(16, 0xAA);
    reply(join(join(mbim_answer::command_done(tid, 0, digest, -1, kQmbe, 22),
                    mbim_answer::command_done(tid, 0, digest, -1, kBasicConnect, kRequestCid)),
               command_done(tid, 52)));
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response + 4), 52u);
  expect_records("[tessel] TransactionId %u: answer for another service or CID; ignored", 2, 8);
}

// Whatever wakes the wait without a response (here a broadcast on the
// transport's condition) must not end the exchange: the answer still comes.
TEST_F(Transport, AWakeUpWithoutAResponseKeepsWaiting) {
  connect();
  auto req = request();
  std::thread modem([&] {
    const uint32_t tid = tid_of(read_request());
    tessel::TransportContext& c = tessel::transport_context();
    {
      tessel::TransportLock lock(c);
      pthread_cond_broadcast(&c.cond);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    reply(command_done(tid, 52));
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  ASSERT_NE(response, nullptr);
  MessagePtr owned(response);
  EXPECT_EQ(tessel::get_le32(response + 4), 52u);
}

TEST_F(Transport, ALateResponseIsDumpedAndDiscardedWithoutDisturbingTheNext) {
  connect();
  auto first = request();
  uint32_t first_tid = 0;
  std::thread silent([&] { first_tid = tid_of(read_request()); });
  uint8_t* response = nullptr;
  EXPECT_EQ(tessel::send_and_wait(first.get(), &response, 1).code, tessel::Code::kTimedOut);
  silent.join();
  EXPECT_EQ(response, nullptr);
  auto waits = capture_log::with_format("[tessel] wait ret = %d");
  ASSERT_EQ(waits.size(), 1u);
  EXPECT_EQ(waits[0].values, std::vector<uint32_t>{110});
  EXPECT_EQ(waits[0].level, 2u);

  capture_log::clear();
  reply(command_done(first_tid));
  ASSERT_TRUE(wait_for_record("[tessel] read=%d MessageLength=%u"));

  auto second = request();
  std::thread modem([&] { reply(command_done(tid_of(read_request()), 52)); });
  ASSERT_TRUE(tessel::send_and_wait(second.get(), &response, 2).ok());
  modem.join();
  MessagePtr owned(response);
  EXPECT_EQ(tid_of(response), tid_of(second.get()));
  EXPECT_EQ(tessel::get_le32(response + 4), 52u);
}

TEST_F(Transport, GarbageLengthsAreDroppedAndTheChannelGoesOn) {
  connect();
  auto req = request();
  std::thread modem([&] {
    const uint32_t tid = tid_of(read_request());
    reply(message(0x80000003, 5, tid));  // MessageLength 5: no way to step over it
    wait_for_record("[tessel] error: read=%d MessageLength=%u");
    reply(command_done(tid));
  });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  MessagePtr owned(response);
  auto errors = capture_log::with_format("[tessel] error: read=%d MessageLength=%u");
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].level, 8u);
  EXPECT_EQ(errors[0].values, (std::vector<uint32_t>{12, 5}));
}

TEST_F(Transport, AHangUpEndsTheReaderAndWakesTheWaiterAtOnce) {
  connect();
  auto req = request();
  std::thread modem([&] {
    read_request();
    hang_up();
  });
  uint8_t* response = nullptr;
  const auto start = Clock::now();
  EXPECT_EQ(tessel::send_and_wait(req.get(), &response, 10).code, tessel::Code::kNoChannel);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  modem.join();
  EXPECT_EQ(response, nullptr);
  ASSERT_TRUE(wait_for_record("[tessel] mbim_read_thread exit"));
  expect_records("[tessel] poll err/hup/inval", 1, 8);
  auto events = capture_log::with_format("[tessel] epoll fd = %d, events = 0x%04x");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].values[0], static_cast<uint32_t>(sv_[0]));
  EXPECT_TRUE(events[0].values[1] & POLLHUP);

  // With the peer gone, the next write fails instead of raising SIGPIPE.
  capture_log::clear();
  auto next = request();
  EXPECT_EQ(tessel::send_and_wait(next.get(), &response, 1).code, tessel::Code::kWriteFailed);
  expect_records("[tessel] write ret = %d", 1, 8);
}

// cdc-wdm makes one transfer of each write, cut at 4096 bytes, and returns
// the bytes it took: the rest must not follow as a message of its own, and
// the request is a failed write. A socket whose buffer takes only part of
// the request plays that node here.
TEST_F(Transport, AShortWriteOnTheNodeFailsAndTheRestNeverFollows) {
  const int buffer = 4096;
  ASSERT_EQ(setsockopt(sv_[0], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer), 0);
  ASSERT_EQ(fcntl(sv_[0], F_SETFL, O_NONBLOCK), 0);
  ASSERT_TRUE(tessel::ctx_init(0).ok());
  ASSERT_TRUE(tessel::ctx_adopt_channel(sv_[0], /*stream=*/false).ok());
  auto req = tessel::build_command(tessel::kUuidQmbe, 25, 1, nullptr, 60000);
  uint8_t* response = nullptr;
  const auto start = Clock::now();
  EXPECT_EQ(tessel::send_and_wait(req.get(), &response, 5).code, tessel::Code::kWriteFailed);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << "it waited instead of failing";
  EXPECT_EQ(response, nullptr);
  const auto writes = capture_log::with_format("[tessel] write ret = %d");
  ASSERT_EQ(writes.size(), 1u);
  const uint32_t taken = writes[0].values[0];
  EXPECT_GT(taken, 0u);
  EXPECT_LT(taken, 60048u);
  // The far end holds what the one write took, and nothing comes after it.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  size_t arrived = 0;
  uint8_t buf[4096];
  for (ssize_t n; (n = recv(sv_[1], buf, sizeof buf, MSG_DONTWAIT)) > 0;) arrived += static_cast<size_t>(n);
  EXPECT_EQ(arrived, taken);
}

TEST_F(Transport, AReadOfNothingEndsTheReaderInsteadOfSpinning) {
  connect();
  auto req = request();
  std::thread modem([&] {
    read_request();
    shutdown(sv_[1], SHUT_WR);  // the peer's side ends; no hang-up yet
  });
  uint8_t* response = nullptr;
  const auto start = Clock::now();
  EXPECT_EQ(tessel::send_and_wait(req.get(), &response, 10).code, tessel::Code::kNoChannel);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));
  modem.join();
  ASSERT_TRUE(wait_for_record("[tessel] mbim_read_thread exit"));
  auto reads = capture_log::with_format("[tessel] read=%d errno: %d");
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].values[0], 0u);
  EXPECT_EQ(reads[0].level, 8u);
}

TEST_F(Transport, DeinitStopsAnIdleReaderThroughThePipe) {
  connect();
  ASSERT_TRUE(wait_for_record("[tessel] mbim_read_thread is created"));
  tessel::ctx_deinit();
  auto r = capture_log::records();
  ASSERT_FALSE(r.empty());
  EXPECT_EQ(r.back().format, "[tessel] mbim_read_thread exit");
  EXPECT_FALSE(has_record("[tessel] poll err/hup/inval"));
  // Deinit twice does nothing more; the context can be set up again.
  tessel::ctx_deinit();
  EXPECT_TRUE(tessel::ctx_init(0).ok());
}

TEST_F(Transport, SecondInitKeepsTheFirstVerboseFlag) {
  ASSERT_TRUE(tessel::ctx_init(0).ok());
  ASSERT_TRUE(tessel::ctx_init(1).ok());
  ASSERT_TRUE(tessel::ctx_adopt_channel(sv_[0], true).ok());
  auto req = request();
  std::thread modem([&] { reply(command_done(tid_of(read_request()))); });
  uint8_t* response = nullptr;
  ASSERT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
  modem.join();
  MessagePtr owned(response);
  for (const auto& r : capture_log::records()) EXPECT_NE(r.file, "src/mbim_dump");
}

TEST_F(Transport, ConnectRefusesMissingPathsAndAnUnsetContext) {
  EXPECT_EQ(tessel::ctx_connect("/dev/null").code, tessel::Code::kNoChannel);  // before ctx_init
  expect_records("[tessel]  pipe invaild", 1, 8);
  capture_log::clear();
  ASSERT_TRUE(tessel::ctx_init(0).ok());
  EXPECT_EQ(tessel::ctx_connect("/nonexistent/wdm0").code, tessel::Code::kNoChannel);
  EXPECT_EQ(tessel::ctx_connect(nullptr).code, tessel::Code::kNoChannel);
  const std::vector<std::string> expected = {"[tessel] fail to access /nonexistent/wdm0",
                                             "[tessel] fail to access (null)"};
  EXPECT_EQ(capture_log::texts(), expected);
}

TEST_F(Transport, ConnectOnAnOpenChannelChangesNothing) {
  connect();
  ASSERT_TRUE(wait_for_record("[tessel] mbim_read_thread is created"));
  capture_log::clear();
  EXPECT_TRUE(tessel::ctx_connect("/dev/null").ok());
  EXPECT_TRUE(capture_log::records().empty());
}

// The device-node road over a pty in raw mode: the reader reads the slave
// as it would a node, the test plays the modem on the master.
class NodeTransport : public ::testing::Test {
 protected:
  void SetUp() override {
    capture_log::clear();
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    termios t;
    ASSERT_EQ(tcgetattr(master_, &t), 0);
    cfmakeraw(&t);
    ASSERT_EQ(tcsetattr(master_, TCSANOW, &t), 0);
    slave_path_ = ptsname(master_);
    const int slave = open(slave_path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(slave, 0);
    ASSERT_TRUE(tessel::ctx_init(0).ok());
    ASSERT_TRUE(tessel::ctx_adopt_channel(slave, /*stream=*/false).ok());
  }
  void TearDown() override {
    tessel::ctx_deinit();
    if (master_ >= 0) close(master_);
  }

  // Reads the 48-byte request from the master, waiting up to two seconds.
  void read_request() {
    uint8_t buf[4096];
    pollfd p = {master_, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1);
    EXPECT_EQ(read(master_, buf, sizeof buf), 48);
  }

  void send(const std::vector<uint8_t>& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  MessagePtr request() {
    return tessel::build_command(tessel::kUuidQmbe, 21, 0, nullptr, 0);
  }

  int master_ = -1;
  std::string slave_path_;
};

TEST_F(NodeTransport, AnAnswerStraddlingTwoReadsIsDeliveredAndAGarbageHeaderSwallowsNothing) {
  struct Case {
    const char* what;
    bool garbage_header_first;  // else the answer in two writes
  };
  for (const Case& c : {Case{"the answer in two parts", false},
                        Case{"a 12-byte header claiming 200 bytes, then the answer", true}}) {
    SCOPED_TRACE(c.what);
    auto req = request();
    const auto answer = mbim_answer::answer_to(req.get(), 0, std::vector<uint8_t>(2052, 0x5A));
    std::thread modem([&] {
      read_request();
      if (c.garbage_header_first) {
        auto header = message(0x80000003, 200, tid_of(req.get()));
        header.resize(12);
        send(header);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        send(answer);
      } else {
        send(std::vector<uint8_t>(answer.begin(), answer.begin() + 1000));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        send(std::vector<uint8_t>(answer.begin() + 1000, answer.end()));
      }
    });
    uint8_t* response = nullptr;
    EXPECT_TRUE(tessel::send_and_wait(req.get(), &response, 2).ok());
    modem.join();
    MessagePtr owned(response);
    ASSERT_NE(response, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(response, response + answer.size()), answer);
  }
}

// The apply counts a timeout as success; a request the node never took must
// not pass for one: it is a failed write, whatever the deadline.
TEST_F(NodeTransport, ARequestTheBusyNodeNeverTakesIsAFailedWriteNotATimeout) {
  const int filler = open(slave_path_.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(filler, 0);
  // The pty moves what it holds on to the master's side a little later, so
  // it is full only once even a single byte finds no room after a pause.
  const std::vector<uint8_t> junk(512, 0x20);
  for (size_t chunk = junk.size(); chunk > 0;) {
    while (write(filler, junk.data(), chunk) > 0) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (write(filler, junk.data(), 1) > 0) continue;
    chunk = chunk > 1 ? 1 : 0;
  }
  close(filler);
  auto req = request();
  uint8_t* response = nullptr;
  const auto start = Clock::now();
  EXPECT_EQ(tessel::send_and_wait(req.get(), &response, 1).code, tessel::Code::kWriteFailed);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900)) << "it waited for the node";
  EXPECT_EQ(response, nullptr);
  auto writes = capture_log::with_format("[tessel] write ret = %d");
  ASSERT_EQ(writes.size(), 1u);
  EXPECT_EQ(writes[0].level, 8u);
  EXPECT_EQ(writes[0].values, std::vector<uint32_t>{0xFFFFFFFFu});
  EXPECT_TRUE(capture_log::with_format("[tessel] wait ret = %d").empty());
}

TEST_F(Transport, WaitIndicationTimesOutWithItsRecord) {
  ASSERT_TRUE(tessel::ctx_init(0).ok());
  EXPECT_EQ(tessel::wait_indication(1).code, tessel::Code::kTimedOut);
  auto r = capture_log::with_format("[tessel] seconds=%u, retval=%d");
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].values, (std::vector<uint32_t>{1, 110}));
  EXPECT_EQ(r[0].level, 8u);
}

}  // namespace

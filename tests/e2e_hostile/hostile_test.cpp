// The built tool against a hostile modem: tessel-modem-sim --hostile sends a
// burst of random and malformed traffic after every request (hostile_pieces.h
// in tools/modem_sim says what), then the real answer or, with
// --hostile-then-silent, nothing. Both roads: the pty (a device node, one
// transfer per read) and the proxy's socket file (a byte stream).
//
// What is guaranteed, whatever the burst holds: the tool exits 0 in bounded
// time, does not crash, closes with "UnInit", and logs the lengths it could
// not use ("[tessel] error: read=%d MessageLength=%u", level 8).
//
// What the answer depends on: a burst never holds a message the tool could
// not tell from the real answer, but one burst in eight holds one that
// carries the request's TransactionId and the answer's message type with a
// MessageLength too short for it. The simulator's note per burst counts
// those ("N could pass for its answer"). When no burst of a run holds one,
// every exchange must get its real answer: the AT reply is printed, the SAR
// table stored equals the file, the digest read back is the file's. When
// one does, the tool may take it for the answer of its exchange (or never
// see it whole); then that exchange must fail as an answer it cannot judge
// ("[tessel] err=-1, Status=0"), never pass as a success or end in a wait.
// Messages with the request's TransactionId of a type that cannot answer it
// are in every burst; the tool passes over them and says so.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "isolation.h"
#include "log_records.h"
#include "process.h"
#include "mbim_format/protocol_log.h"

namespace {

using Bytes = std::vector<unsigned char>;
using Clock = std::chrono::steady_clock;

constexpr char kSocketFile[] = "/var/volatile/mbim-proxy";
constexpr char kHostileMs[] = "150";
constexpr int kRunLimitMs = 40000;  // the 30 s wait is the longest a run may take
constexpr size_t kTableSize = 3000;
constexpr char kAtReplyOption[] = "\\r\\nHOSTILE OK\\r\\n";
const std::string kAtAnswered = "Send > ATI\nRecv < \r\nHOSTILE OK\r\n\nUnInit\n";
const std::string kAtUnanswered = "Send > ATI\nUnInit\n";

// The table the updates send: the same bytes on every run.
Bytes table_bytes() { return process::pattern(kTableSize, 0x65ce4b38u); }

const char kGarbageLength[] = "E src/mbim_ctx [tessel] error: read=";
const char kWrongTypePassedOver[] = "E src/mbim_ctx [tessel] TransactionId ";
const std::string kUnjudgeable =
    std::string("I ") + tessel::kProtocolLogFile + " [tessel] err=-1, Status=0";
const char kWaitTimedOut[] = "I src/mbim_ctx [tessel] wait ret = 110";

enum class Road { kPty, kSocketFile };

const char* road_name(Road road) { return road == Road::kPty ? "pty" : "socket file"; }

// "<I|E> <source file> <text>" for each log record on standard error, by
// its first line: what a hostile modem sent may follow it.
std::vector<std::string> records(const std::string& err) {
  std::vector<std::string> out;
  for (log_records::Record r : log_records::parse(err)) {
    if (r.level == '?') continue;
    r.more.clear();
    out.push_back(log_records::joined(r));
  }
  return out;
}

size_t count(const std::vector<std::string>& recs, const std::string& prefix) {
  size_t n = 0;
  for (const auto& r : recs) n += r.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
  return n;
}

bool has(const std::vector<std::string>& recs, const std::string& record) {
  for (const auto& r : recs) {
    if (r == record) return true;
  }
  return false;
}

// The text after `prefix` in the first record that starts with it.
std::string after(const std::vector<std::string>& recs, const std::string& prefix) {
  for (const auto& r : recs) {
    if (r.compare(0, prefix.size(), prefix) == 0) return r.substr(prefix.size());
  }
  return "";
}

// Bursts the simulator sent, and how many pieces in them could pass for an answer.
struct Bursts {
  int count = 0;
  int answer_like = 0;
};

Bursts bursts(const std::string& notes) {
  static const std::regex kNote(
      "hostile burst for TransactionId [0-9]+: .* ([0-9]+) could pass for its answer");
  Bursts b;
  for (auto it = std::sregex_iterator(notes.begin(), notes.end(), kNote);
       it != std::sregex_iterator(); ++it) {
    ++b.count;
    b.answer_like += std::atoi((*it)[1].str().c_str());
  }
  return b;
}

// One run of the tool against a hostile simulator.
struct ToolRun {
  process::Result result;
  std::chrono::milliseconds elapsed{0};
  std::vector<std::string> recs;
  Bursts bursts;
  std::string label;
};

class HostileModem : public ::testing::Test {
 protected:
  void SetUp() override {
    isolated_ = process::isolated();
    if (!isolated_ && process::proxy_visible()) {
      GTEST_SKIP() << "a process named mbim-proxy is visible and this run has no namespaces of its "
                      "own (run through tests/support/isolated.sh as root)";
    }
    if (isolated_) unlink(kSocketFile);
  }
  void TearDown() override {
    if (isolated_) unlink(kSocketFile);  // this namespace's own tmpfs only
  }

  // False when `road` cannot be used here; the socket file's fixed path is
  // reached only inside isolated.sh's namespaces.
  bool usable(Road road) const { return road != Road::kSocketFile || isolated_; }
  static constexpr char kRoadUnusable[] =
      "the socket-file road needs the namespaces of tests/support/isolated.sh (root); "
      "the pty road ran";

  static std::unique_ptr<process::Simulator> modem(Road road, uint32_t seed,
                                                   std::vector<std::string> args) {
    std::vector<std::string> all;
    if (road == Road::kPty) {
      all = {"--pty"};
    } else {
      all = {"--socket", kSocketFile};
    }
    all.insert(all.end(), {"--hostile", kHostileMs, "--seed", std::to_string(seed)});
    all.insert(all.end(), args.begin(), args.end());
    return std::make_unique<process::Simulator>(all);
  }

  // Runs the tool with `args` after "--command", "-d <the road's device>" in place of "DEV".
  static ToolRun tool(Road road, const process::Simulator& sim, std::vector<std::string> args,
                      const std::string& label) {
    std::vector<std::string> argv = {"--command"};
    for (auto& a : args)
      argv.push_back(a == "DEV" ? (road == Road::kPty ? sim.path() : kSocketFile) : a);
    process::Options options;
    options.timeout_ms = kRunLimitMs;
    ToolRun run;
    run.label = label;
    const auto start = Clock::now();
    run.result = process::run_tool(argv, options);
    run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    run.recs = records(run.result.err);
    run.bursts = bursts(sim.notes());
    return run;
  }

  // What holds for every run, whatever the modem sent.
  static void expect_survived(const ToolRun& run) {
    SCOPED_TRACE(run.label);
    EXPECT_FALSE(run.result.timed_out) << "still running after " << kRunLimitMs << " ms";
    EXPECT_EQ(run.result.status, 0) << "-1: ended by a signal\n" << run.result.err;
    EXPECT_EQ(run.result.err.find("Sanitizer"), std::string::npos) << run.result.err;
    EXPECT_EQ(run.result.err.find("runtime error"), std::string::npos) << run.result.err;
    const std::string& out = run.result.out;
    EXPECT_TRUE(out.size() >= 7 && out.compare(out.size() - 7, 7, "UnInit\n") == 0) << out;
    EXPECT_GE(count(run.recs, kGarbageLength), 1u) << "no garbage length was logged";
    EXPECT_GE(run.bursts.count, 1) << "the simulator sent no burst";
  }

  bool isolated_ = false;
};

TEST_F(HostileModem, AtReplyComesThroughTheGarbageUnlessAnAnswerLikePieceBrokeIt) {
  // Seed 3 holds an answer-like piece on both roads; 1 and 2 hold none.
  for (Road road : {Road::kPty, Road::kSocketFile}) {
    if (!usable(road)) GTEST_SKIP() << kRoadUnusable;
    int clean_runs = 0;
    for (uint32_t seed : {1u, 2u, 3u}) {
      unlink(kSocketFile);
      auto sim = modem(road, seed, {"--at-reply", kAtReplyOption});
      ASSERT_TRUE(sim->ready()) << sim->notes();
      const std::string label = std::string(road_name(road)) + ", seed " + std::to_string(seed);
      const ToolRun run = tool(road, *sim, {"debug_tool", "-d", "DEV", "-a", "ATI"}, label);
      expect_survived(run);
      SCOPED_TRACE(label);
      EXPECT_EQ(count(run.recs, kWaitTimedOut), 0u)
          << "the answer followed; nothing may wait it out";
      if (run.bursts.answer_like == 0) {
        ++clean_runs;
        EXPECT_EQ(run.result.out, kAtAnswered) << run.result.err;
        EXPECT_TRUE(has(run.recs, "I src/api [tessel] err=0"));
        // On the stream every whole message reaches the reader; on the pty a
        // reader that falls behind may see a transfer dropped with the one before.
        if (road == Road::kSocketFile) {
          EXPECT_GE(count(run.recs, kWrongTypePassedOver), 1u)
              << "every burst has a wrong-type piece";
        }
      } else if (run.result.out != kAtAnswered) {
        EXPECT_EQ(run.result.out, kAtUnanswered);
        EXPECT_TRUE(has(run.recs, kUnjudgeable)) << run.result.err;
        EXPECT_TRUE(has(run.recs, "I src/api [tessel] err=-1"));
      }
    }
    EXPECT_EQ(clean_runs, 2) << road_name(road) << ": the seeds no longer cover both cases";
  }
}

TEST_F(HostileModem, SarTableIsStoredWholeThroughTheGarbageUnlessAnAnswerLikePieceBrokeIt) {
  // Eight requests a run: digest, DIAG on, three chunks, DIAG off, digest,
  // apply. Seed 1 holds no answer-like piece on the pty and one (in the
  // fifth burst) on the socket file; seed 4 the other way round (third burst).
  const Bytes table = table_bytes();
  process::TempFile table_file(table);
  for (Road road : {Road::kPty, Road::kSocketFile}) {
    if (!usable(road)) GTEST_SKIP() << kRoadUnusable;
    int clean_runs = 0;
    for (uint32_t seed : {1u, 4u}) {
      unlink(kSocketFile);
      process::TempFile stored;
      auto sim = modem(road, seed, {"--table-out", stored.path()});
      ASSERT_TRUE(sim->ready()) << sim->notes();
      const std::string label = std::string(road_name(road)) + ", seed " + std::to_string(seed);
      const ToolRun run =
          tool(road, *sim, {"sar_tool", "-d", "DEV", "-f", table_file.path()}, label);
      expect_survived(run);
      SCOPED_TRACE(label);
      EXPECT_EQ(count(run.recs, kWaitTimedOut), 0u)
          << "the answer followed; nothing may wait it out";
      const size_t failed_steps = count(run.recs, "E src/main ");
      if (run.bursts.answer_like == 0) {
        ++clean_runs;
        EXPECT_EQ(run.bursts.count, 8);
        EXPECT_EQ(failed_steps, 0u) << run.result.err;
        EXPECT_EQ(stored.read(), table);
        const std::string file_digest = after(run.recs, "I src/main [tessel] +++ md5: ");
        EXPECT_EQ(file_digest.size(), 32u);
        EXPECT_EQ(after(run.recs, "I src/main [tessel] md5: "), file_digest) << "digest read back";
        EXPECT_GE(count(run.recs, kWrongTypePassedOver), road == Road::kSocketFile ? 8u : 1u)
            << "every burst has a wrong-type piece";
      } else if (failed_steps != 0) {
        EXPECT_EQ(failed_steps, 1u) << "the update stops at its first failed step";
        EXPECT_TRUE(has(run.recs, kUnjudgeable)) << run.result.err;
      } else {
        EXPECT_EQ(stored.read(), table);
      }
    }
    EXPECT_EQ(clean_runs, 1) << road_name(road) << ": the seeds no longer cover both cases";
  }
}

TEST_F(HostileModem, VerboseDumpDecodesEveryMessageTheReaderCutOut) {
  // Lying InformationBufferLengths, bad FCS frames and broken AT replies all
  // go through the message dump; under the sanitizers any read past a
  // message shows here.
  const Road road = isolated_ ? Road::kSocketFile : Road::kPty;
  const uint32_t seed = road == Road::kSocketFile ? 4 : 1;  // no answer-like piece
  const Bytes table = table_bytes();
  process::TempFile table_file(table);
  process::TempFile stored;
  auto sim = modem(road, seed, {"--table-out", stored.path()});
  ASSERT_TRUE(sim->ready()) << sim->notes();
  const ToolRun run =
      tool(road, *sim, {"sar_tool", "-d", "DEV", "-f", table_file.path(), "--debug"}, "verbose");
  expect_survived(run);
  ASSERT_EQ(run.bursts.answer_like, 0) << "the seed must hold no answer-like piece; pick another";
  EXPECT_EQ(stored.read(), table);
  // Every message sent and every one the reader cut out is dumped once; a
  // received message of a host-to-modem type (the request echoed back) is
  // dumped with ">" like a request.
  const size_t sent = count(run.recs, "I src/mbim_ctx [tessel] MessageLength:");
  const size_t cut_out = count(run.recs, "I src/mbim_ctx [tessel] read=");
  EXPECT_EQ(sent, 8u);
  EXPECT_GT(cut_out, 8u * 3);
  EXPECT_EQ(count(run.recs, "I src/mbim_dump [tessel] < Header:") +
                count(run.recs, "I src/mbim_dump [tessel] > Header:"),
            sent + cut_out);
}

}  // namespace

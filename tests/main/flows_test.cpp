// The decisions of the front end's jobs, without a modem or a process: for
// each way a step ends (the Status the service API gives it), the exit status
// a strict caller gets, the summary line, and the calls made, so that nothing
// follows a failing step but what must (DIAG-over-MBIM off, UnInit). The
// service API is a script, defined at the end of this file in place of
// src/api's entry points; the wire is the end-to-end tests' part.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "api/service_api.h"
#include "capture_log.h"
#include "main/outcome.h"
#include "main/sub_commands.h"
#include "md5/md5.h"

namespace {

using tessel::Code;
using tessel::Status;

enum class Run { kUpdate, kStrict, kCheck, kSave, kQuery, kAt };

// How the scripted modem and state record differ from a run in which
// nothing fails: the file's table (kFile) is not the one the modem holds
// (kHeld, kTable's, which --save reads), and each call succeeds.
enum Twist : unsigned {
  kHoldsFile = 1 << 0,     // the modem already holds the file's table
  kPending = 1 << 1,       // ... noted as written but not applied
  kDiagMaybeOn = 1 << 2,   // ... with DIAG-over-MBIM maybe on
  kNoDigest = 1 << 3,      // GetSarMd5 answers without 16 bytes
  kFrozen = 1 << 4,        // a table written leaves the modem's digest as it was
  kUnanswered = 1 << 5,    // the apply goes unanswered
  kVolatileNote = 1 << 6,  // NoteTableWritten: kept where a reboot loses it
  kNoNote = 1 << 7,        // NoteTableWritten: not kept (EROFS)
  kNoTable = 1 << 8,       // GetSarValue: the modem holds no table
  kOtherDigest = 1 << 9,   // the modem reports another digest than kHeld
};

struct Row {
  const char* what;
  Run run;
  const char* fail;  // the call that fails, e.g. "SetSarEnable 0"; "GetSarMd5#2": the second
  Status with;       // ... with this Status
  const char* stop;  // the call during which a stop signal comes, likewise
  unsigned twists;
  int exit;
  // The summary's fields but the item (48001): result size file_md5
  // modem_md5 step apply, F and H standing for kFile's and kHeld's digests.
  const char* summary;
  std::string calls;             // those after "Init LockDevice GetIsMbimReady", or all
  const char* record = nullptr;  // an error record the run must leave
  const char* at_reply = "";     // debug_tool: the AT reply
};

const std::vector<uint8_t> kTable(3000, 0x5A);
const tessel::Digest kFile = [] {
  tessel::Digest d;
  d.fill(0xF1);
  return d;
}();
const tessel::Digest kHeld = [] {
  tessel::Digest d;
  tessel::md5_digest(kTable.data(), kTable.size(), d.data());
  return d;
}();

// The run in progress, as the scripted service API sees it.
const Row* g_row = nullptr;
std::string g_calls;
std::map<std::string, int> g_count;
int g_stop = 0;
tessel::Digest g_stored{};

bool twisted(Twist t) { return (g_row->twists & t) != 0; }

// Records `call` and returns what the row makes of it.
Status answer(const std::string& call) {
  g_calls += (g_calls.empty() ? "" : " ") + call;
  const int n = ++g_count[call];
  const std::string nth = n == 1 ? call : call + "#" + std::to_string(n);
  if (nth == g_row->stop) g_stop = SIGTERM;
  return nth == g_row->fail ? g_row->with : Status();
}

std::string hex(const tessel::Digest& d) {
  std::array<char, 33> text;
  return tessel::digest_text(d, &text);
}

template <typename Outcome>
std::string summary(const Outcome& o) {
  char* text = nullptr;
  size_t size = 0;
  std::FILE* out = open_memstream(&text, &size);
  print_summary(o, tessel::SummaryStyle::kKeyValue, out);
  std::fclose(out);
  std::string line(text, size);
  std::free(text);
  return line;
}

std::string expected_summary(const std::string& fields) {
  static const char* kKeys[] = {"result=", " item=48001 size=", " file_md5=", " modem_md5=",
                                " step=", " apply="};
  std::string line;
  size_t at = 0;
  for (const char* key : kKeys) {
    const size_t end = std::min(fields.find(' ', at), fields.size());
    const std::string word = fields.substr(at, end - at);
    line += key;
    line += word == "F" ? hex(kFile) : word == "H" ? hex(kHeld) : word;
    at = end + 1;
  }
  return line + "\n";
}

class Flows : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/tessel-flows-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    unlink((dir_ + "/backup.bin").c_str());
    rmdir(dir_.c_str());
  }

  void check(const Row& r) {
    SCOPED_TRACE(r.what);
    g_row = &r;
    g_calls.clear();
    g_count.clear();
    g_stop = 0;
    g_stored = twisted(kHoldsFile) ? kFile : kHeld;
    capture_log::clear();
    if (r.run == Run::kAt) {
      tessel::AtJob job;
      job.device = "/dev/cdc-wdm0";
      job.command = "ATI";
      const tessel::AtOutcome o = tessel::at_send(job);
      EXPECT_EQ(tessel::exit_status(o), r.exit);
      EXPECT_EQ(summary(o), std::string(r.summary) + "\n");
      return;
    }
    tessel::SarJob job;
    job.device = "/dev/cdc-wdm0";
    job.table = "/tmp/sar.bin";
    job.table_size = 3000;
    job.strict = r.run != Run::kUpdate;
    job.check = r.run == Run::kCheck;
    const std::string save = dir_ + "/backup.bin";
    if (r.run == Run::kSave) job.save = save.c_str();
    const tessel::SarOutcome o = r.run == Run::kSave    ? tessel::sar_save(job)
                                 : r.run == Run::kQuery ? tessel::sar_query(job)
                                                        : tessel::sar_update(job);
    EXPECT_EQ(tessel::exit_status(o), r.exit);
    EXPECT_EQ(summary(o), expected_summary(r.summary));
    const bool opened = r.calls.rfind("Init", 0) != 0;
    EXPECT_EQ(g_calls, (opened ? "Init LockDevice GetIsMbimReady " : "") + r.calls);
    if (r.record != nullptr) {
      EXPECT_EQ(capture_log::with_format(r.record).size(), 1u) << r.record;
    }
  }

  std::string dir_;
};

TEST_F(Flows, UpdateAndCheckOfEachWayAStepEnds) {
  const std::string compared = "GetSarMd5 GetFileMd5 UnInit";
  const std::string noted = "GetSarMd5 GetFileMd5 NoteTableWritten 1 ";
  const std::string to_write = noted + "SetSarEnable 1 SetSarValue ";
  const std::string written = to_write + "SetSarEnable 0 GetSarMd5 ApplySarValue ";
  const Row rows[] = {
      {"written, applied, verified", Run::kStrict, "", {}, "", 0, 0, "updated 3000 F F - confirmed",
       written + "NoteApplied UnInit"},
      {"Init refused", Run::kStrict, "Init", Code::kBadArgument, "", 0, 2, "failed - - - connect -",
       "Init UnInit"},
      {"the lock cannot be used", Run::kStrict, "LockDevice", Code::kLockUnusable, "", 0, 8,
       "failed - - - lock -", "Init LockDevice UnInit"},
      {"digest query refused", Run::kStrict, "GetSarMd5", Status::modem(2), "", 0, 3,
       "failed - - - query -", "GetSarMd5 UnInit"},
      {"table file unreadable", Run::kStrict, "GetFileMd5", Code::kFileUnreadable, "", 0, -1,
       "failed - - H file -", compared},
      {"no note kept: the modem is left alone", Run::kUpdate, "", {}, "", kNoNote, 4,
       "failed 3000 F H state -", noted + "UnInit",
       "[tessel] cannot keep the note of this update in %s (%s); nothing written to the modem"},
      {"a note a reboot loses, strict: the modem is left alone", Run::kStrict, "", {}, "",
       kVolatileNote, 4, "failed 3000 F H state -", noted + "UnInit"},
      {"a note a reboot loses, default mode: a warning", Run::kUpdate, "", {}, "", kVolatileNote, 0,
       "updated 3000 F F - confirmed", written + "NoteApplied UnInit",
       "[tessel] the note of this update is kept in %s, which a reboot empties: make %s persistent "
       "(see tessel(1))"},
      {"DIAG-over-MBIM refused", Run::kStrict, "SetSarEnable 1", Status::modem(2), "", 0, 4,
       "failed 3000 F H enable -", noted + "SetSarEnable 1 UnInit"},
      {"write failed: switched off again", Run::kStrict, "SetSarValue", Code::kTransfer, "", 0, 4,
       "failed 3000 F H write -", to_write + "SetSarEnable 0 UnInit"},
      {"switch-off lost: no read-back", Run::kStrict, "SetSarEnable 0", Code::kNoChannel, "", 0, 4,
       "failed 3000 F H disable -", to_write + "SetSarEnable 0 UnInit"},
      {"read-back lost: no apply", Run::kStrict, "GetSarMd5#2", Code::kTimedOut, "", 0, 3,
       "failed 3000 F H readback -", to_write + "SetSarEnable 0 GetSarMd5 UnInit"},
      {"apply refused: noted with DIAG-over-MBIM off", Run::kStrict, "ApplySarValue",
       Status::function_error(0), "", 0, 5, "failed 3000 F F apply failed",
       written + "NoteTableWritten 0 UnInit"},
      {"apply unanswered: left to the next run", Run::kStrict, "", {}, "", kUnanswered, 0,
       "updated 3000 F F - unanswered", written + "NoteApplyUnanswered UnInit"},
      {"a digest that never changes, strict: not verified", Run::kStrict, "", {}, "", kFrozen, 6,
       "failed 3000 F H verify confirmed", written + "NoteApplied GetSarMd5 UnInit"},
      {"a digest that never changes, default mode: said, applied", Run::kUpdate, "", {}, "",
       kFrozen, 0, "updated 3000 F H - confirmed", written + "NoteApplied UnInit",
       "[tessel] the digest read back differs from the file's: the modem did not store the "
       "table as sent"},
      {"no digest in any answer: updated all the same", Run::kUpdate, "", {}, "", kNoDigest, 0,
       "updated 3000 F - - confirmed", written + "NoteApplied UnInit",
       "[tessel] GetSarMd5 after update: the answer carried no 16-byte digest"},
      {"up to date", Run::kStrict, "", {}, "", kHoldsFile, 0, "up-to-date 3000 F F - -", compared},
      {"held but not seen applied, DIAG-over-MBIM maybe on", Run::kStrict, "", {}, "",
       kHoldsFile | kPending | kDiagMaybeOn, 0, "updated 3000 F F - confirmed",
       "GetSarMd5 GetFileMd5 SetSarEnable 0 ApplySarValue NoteApplied UnInit"},
      {"... and its switch-off refused", Run::kStrict, "SetSarEnable 0", Status::modem(2), "",
       kHoldsFile | kPending | kDiagMaybeOn, 4, "failed 3000 F F disable -",
       "GetSarMd5 GetFileMd5 SetSarEnable 0 UnInit"},
      {"stopped before the first question", Run::kStrict, "", {}, "GetIsMbimReady", 0, 4,
       "failed - - - interrupted -", "UnInit"},
      {"stopped with DIAG-over-MBIM on: switched off", Run::kStrict, "", {}, "SetSarEnable 1", 0, 4,
       "failed 3000 F H interrupted -", noted + "SetSarEnable 1 SetSarEnable 0 UnInit"},
      {"stopped between chunks", Run::kStrict, "SetSarValue", Code::kStopped, "SetSarValue", 0, 4,
       "failed 3000 F H interrupted -", to_write + "SetSarEnable 0 UnInit"},
      {"stopped after the last chunk: applied first", Run::kStrict, "", {}, "SetSarValue", 0, 0,
       "updated 3000 F F - confirmed", written + "NoteApplied UnInit"},
      {"--check: differs", Run::kCheck, "", {}, "", 0, 7, "differs 3000 F H - -", compared},
      {"--check: held but not seen applied", Run::kCheck, "", {}, "", kHoldsFile | kPending, 0,
       "up-to-date 3000 F F - -", compared,
       "[tessel] the modem holds this table, but no run has seen it applied"},
      {"--check: no digest in the answer", Run::kCheck, "", {}, "", kNoDigest, 3,
       "failed 3000 F - query -", compared},
  };
  for (const Row& r : rows) check(r);
}

TEST_F(Flows, SaveQueryAndDebugToolOfEachWayAStepEnds) {
  const std::string read = "SetSarEnable 1 GetSarValue SetSarEnable 0 ";
  const Row rows[] = {
      {"saved", Run::kSave, "", {}, "", 0, 0, "saved 3000 H H - -", read + "GetSarMd5 UnInit"},
      {"DIAG-over-MBIM refused", Run::kSave, "SetSarEnable 1", Status::modem(2), "", 0, 9,
       "failed - - - enable -", "SetSarEnable 1 UnInit"},
      {"read failed: switched off again", Run::kSave, "GetSarValue", Code::kBadReply, "", 0, 9,
       "failed - - - read -", read + "UnInit"},
      {"read stopped", Run::kSave, "GetSarValue", Code::kStopped, "GetSarValue", 0, 9,
       "failed - - - interrupted -", read + "UnInit"},
      {"no table held", Run::kSave, "", {}, "", kNoTable, 9, "failed - - - read -",
       read + "UnInit"},
      {"switch-off refused", Run::kSave, "SetSarEnable 0", Status::modem(2), "", 0, 9,
       "failed - - - disable -", read + "UnInit"},
      {"digest query refused", Run::kSave, "GetSarMd5", Status::modem(2), "", 0, 3,
       "failed 3000 H - query -", read + "GetSarMd5 UnInit"},
      {"the table read is not the modem's", Run::kSave, "", {}, "", kOtherDigest, 9,
       "failed 3000 H F verify -", read + "GetSarMd5 UnInit"},
      {"--query", Run::kQuery, "", {}, "", 0, 0, "queried - - H - -", "GetSarMd5 UnInit"},
      {"--query: no digest in the answer", Run::kQuery, "", {}, "", kNoDigest, 3,
       "failed - - - query -", "GetSarMd5 UnInit"},
      {"--query: stopped", Run::kQuery, "", {}, "GetIsMbimReady", 0, 3,
       "failed - - - interrupted -", "UnInit"},
      {"AT: OK", Run::kAt, "", {}, "", 0, 0, "result=ok final=OK code=- step=-", "", nullptr,
       "\r\nRevision: 1\r\n\r\nOK\r\n"},
      {"AT: ERROR", Run::kAt, "", {}, "", 0, 12, "result=error final=ERROR code=- step=-", "",
       nullptr, "\r\nERROR\r\n"},
      {"AT: +CME ERROR", Run::kAt, "", {}, "", 0, 12, "result=error final=CME_ERROR code=10 step=-",
       "", nullptr, "\r\n+CME ERROR: 10\r\n"},
      {"AT: +CMS ERROR in words", Run::kAt, "", {}, "", 0, 12,
       "result=error final=CMS_ERROR code=- step=-", "", nullptr, "\r\n+CMS ERROR: unknown\r\n"},
      {"AT: no final result", Run::kAt, "", {}, "", 0, 12, "result=error final=- code=- step=-", "",
       nullptr, "\r\n+CSQ: 20,99\r\n"},
      {"AT: refused", Run::kAt, "SendAtCommand", Status::modem(2), "", 0, 11,
       "result=failed final=- code=- step=answer", ""},
      {"AT: no channel", Run::kAt, "GetIsMbimReady", Code::kNoChannel, "", 0, 2,
       "result=failed final=- code=- step=connect", ""},
      // The signal then ends the process: only the line tells.
      {"AT: stopped", Run::kAt, "", {}, "GetIsMbimReady", 0, 0,
       "result=failed final=- code=- step=interrupted", ""},
  };
  for (const Row& r : rows) check(r);
}

}  // namespace

// The service API as the script answers it.
namespace tessel {
namespace api {

Status Init(const char*, bool) { return answer("Init"); }
Status LockDevice(uint32_t) { return answer("LockDevice"); }
Status GetIsMbimReady() { return answer("GetIsMbimReady"); }
Status SetSarEnable(int enable) { return answer("SetSarEnable " + std::to_string(enable)); }

Status GetFileMd5(const char*, uint8_t digest[16]) {
  const Status s = answer("GetFileMd5");
  if (s.ok()) std::memcpy(digest, kFile.data(), 16);
  return s;
}

Status GetSarMd5(int, uint8_t digest[16], bool* read) {
  const Status s = answer("GetSarMd5");
  *read = s.ok() && !twisted(kNoDigest);
  if (*read) std::memcpy(digest, (twisted(kOtherDigest) ? kFile : g_stored).data(), 16);
  return s;
}

Status SetSarValue(const char*, int, const uint8_t*) {
  const Status s = answer("SetSarValue");
  if (s.ok() && !twisted(kFrozen)) g_stored = kFile;
  return s;
}

Status GetSarValue(uint8_t* data, size_t, uint16_t* length) {
  const Status s = answer("GetSarValue");
  *length = s.ok() && !twisted(kNoTable) ? static_cast<uint16_t>(kTable.size()) : 0;
  std::memcpy(data, kTable.data(), *length);
  return s;
}

Status ApplySarValue(int, bool* answered) {
  const Status s = answer("ApplySarValue");
  *answered = !twisted(kUnanswered);
  return s;
}

Status SendAtCommand(const char*, const char** reply) {
  const Status s = answer("SendAtCommand");
  *reply = s.ok() ? g_row->at_reply : nullptr;
  return s;
}

}  // namespace api

void UnInit() { answer("UnInit"); }
int StopSignal() { return g_stop; }

bool PendingApply(int, const uint8_t*, bool* diag_may_be_on) {
  if (diag_may_be_on != nullptr) *diag_may_be_on = twisted(kDiagMaybeOn);
  return twisted(kPending);
}

Status NoteTableWritten(int, const uint8_t*, bool diag_may_be_on) {
  answer(diag_may_be_on ? "NoteTableWritten 1" : "NoteTableWritten 0");
  return twisted(kNoNote) ? Status::system(Code::kStateNotKept, EROFS)
         : twisted(kVolatileNote) ? Code::kStateVolatile
                                  : Code::kOk;
}

void NoteApplied(int) { answer("NoteApplied"); }

bool NoteApplyUnanswered(int) { return answer("NoteApplyUnanswered").ok(); }

const char* StateRecordPath() { return "/var/lib/tessel/char-166-0.state"; }

}  // namespace tessel

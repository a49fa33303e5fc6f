// run_state.cpp — see run_state.h; also the service API's calls on the
// pending tables (service_api.h).
#include "api/run_state.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "api/device_lock.h"
#include "api/device_state.h"
#include "api/private_dir.h"
#include "api/service_api.h"
#include "api/state_directory.h"
#include "diag_log/diag_log.h"
#include "transport/transport.h"
#include "mbim_format/transaction_id.h"

TESSEL_LOG_MODULE("src/api");

namespace tessel {
namespace {

bool g_loaded = false;
bool g_dirty = false;     // the file on disk differs from g_state
bool g_volatile = false;  // the record is in the run directory: a reboot empties it
DeviceState g_state;
std::array<char, 128> g_directory{};
std::array<char, 128> g_key{};
std::array<char, 256> g_path{};

bool choose_directory() {
  if (persistent_directory(kStateDirectory, g_directory.data(), g_directory.size()) == 0) {
    g_volatile = false;
    return true;
  }
  const int e = errno;
  if (!run_directory(g_directory.data(), g_directory.size())) return false;
  LOG_TXT(LOG_NORMAL, "[tessel] %s cannot hold the state record (%s); keeping it in %s until the next reboot",
          kStateDirectory, std::strerror(e), g_directory.data());
  g_volatile = true;
  return true;
}

// Writes the record when it changed; kStateNotKept, with the write's errno,
// when that failed.
Status save() {
  if (!g_dirty) return Code::kOk;
  if (device_state_write(g_directory.data(), g_key.data(), g_state) != 0) {
    return Status::system(Code::kStateNotKept, errno);
  }
  g_dirty = false;
  return Code::kOk;
}

}  // namespace

void run_state_load(const char* device) {
  g_loaded = false;
  g_dirty = false;
  g_state = DeviceState();
  g_path[0] = '\0';
  if (!device_lock_key(device, g_key.data(), g_key.size()) || !choose_directory()) {
    LOG_MSG(LOG_ERROR, "[tessel] no private directory for the state record; running without it");
    return;
  }
  const int n = std::snprintf(g_path.data(), g_path.size(), "%s/%s.state", g_directory.data(), g_key.data());
  if (n < 0 || static_cast<size_t>(n) >= g_path.size()) g_path[0] = '\0';
  g_loaded = true;
  // A record that does not parse is replaced at the next write (or removed).
  g_dirty = device_state_read(g_directory.data(), g_key.data(), &g_state) < 0;
  if (g_state.has_last_tid) {
    LOG_NUM(LOG_NORMAL, "[tessel] an earlier run left TransactionId %u unanswered; starting after it",
            g_state.last_tid);
    start_transaction_ids_after(g_state.last_tid);
  }
}

void run_state_finish() {
  if (!g_loaded) return;
  // Once any run left a request unanswered, the highest id used stays
  // noted for good; a run that sent nothing changes nothing.
  const uint32_t last = last_transaction_id();
  if (last != 0 && (ctx_request_unanswered() || g_state.has_last_tid) &&
      !(g_state.has_last_tid && g_state.last_tid == last)) {
    g_state.has_last_tid = true;
    g_state.last_tid = last;
    g_dirty = true;
  }
  save();
  g_loaded = false;
}

bool PendingApply(int item, const uint8_t digest[16], bool* diag_may_be_on) {
  const PendingTable* t = g_loaded ? g_state.find(item) : nullptr;
  if (t == nullptr || std::memcmp(t->digest.data(), digest, t->digest.size()) != 0) return false;
  if (diag_may_be_on != nullptr) *diag_may_be_on = t->diag_may_be_on;
  return true;
}

Status NoteTableWritten(int item, const uint8_t digest[16], bool diag_may_be_on) {
  if (!g_loaded) return Status::system(Code::kStateNotKept, ENOENT);
  PendingTable t;
  t.item = item;
  std::memcpy(t.digest.data(), digest, t.digest.size());
  t.diag_may_be_on = diag_may_be_on;
  g_state.note(t);
  g_dirty = true;
  const Status saved = save();
  if (!saved.ok()) return saved;
  return g_volatile ? Code::kStateVolatile : Code::kOk;
}

void NoteApplied(int item) {
  if (!g_loaded || g_state.find(item) == nullptr) return;
  g_state.forget(item);
  g_dirty = true;
  save();
}

bool NoteApplyUnanswered(int item) {
  const PendingTable* t = g_loaded ? g_state.find(item) : nullptr;
  if (t == nullptr) return false;
  PendingTable again = *t;
  again.diag_may_be_on = false;
  if (++again.unanswered_applies >= kMaxUnansweredApplies) {
    LOG_NUM(LOG_ERROR, "[tessel] the modem left the apply of item %d unanswered in %u runs in a row; no run will send it again",
            item, again.unanswered_applies);
    g_state.forget(item);
    g_dirty = true;
    save();
    return false;
  }
  g_state.note(again);
  g_dirty = true;
  save();
  return true;
}

const char* StateRecordPath() { return g_path.data(); }

}  // namespace tessel

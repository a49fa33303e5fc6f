// run_state.cpp — see run_state.h; also the service API's calls on the
// pending tables (service_api.h).
#include "api/run_state.h"

#include <array>
#include <cstring>

#include "api/device_lock.h"
#include "api/device_state.h"
#include "api/private_dir.h"
#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "mbim_ctx/transport.h"
#include "mbim_format/transaction_id.h"

TESSEL_LOG_MODULE("src/api");

namespace tessel {
namespace {

bool g_loaded = false;
bool g_dirty = false;  // the file on disk differs from g_state
DeviceState g_state;
std::array<char, 128> g_directory{};
std::array<char, 128> g_key{};

bool state_directory(char* out, size_t size) {
  if (private_dir_ensure(kStateDirectory, 0700) == 0 && sizeof kStateDirectory <= size) {
    std::memcpy(out, kStateDirectory, sizeof kStateDirectory);
    return true;
  }
  return run_directory(out, size);
}

void save() {
  if (!g_loaded || !g_dirty) return;
  if (device_state_write(g_directory.data(), g_key.data(), g_state) == 0) g_dirty = false;
}

}  // namespace

void run_state_load(const char* device) {
  g_loaded = false;
  g_dirty = false;
  g_state = DeviceState();
  if (!device_lock_key(device, g_key.data(), g_key.size()) ||
      !state_directory(g_directory.data(), g_directory.size())) {
    LOG_MSG(LOG_ERROR, "[tessel] no private directory for the state record; running without it");
    return;
  }
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
  const uint32_t last = last_transaction_id();
  if (ctx_request_unanswered()) {
    g_dirty = g_dirty || !g_state.has_last_tid || g_state.last_tid != last;
    g_state.has_last_tid = true;
    g_state.last_tid = last;
  } else if (last != 0 && g_state.has_last_tid) {
    g_state.has_last_tid = false;
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

void NoteTableWritten(int item, const uint8_t digest[16], bool diag_may_be_on) {
  if (!g_loaded) return;
  PendingTable t;
  t.item = item;
  std::memcpy(t.digest.data(), digest, t.digest.size());
  t.diag_may_be_on = diag_may_be_on;
  g_state.note(t);
  g_dirty = true;
  save();
}

void NoteApplied(int item) {
  if (!g_loaded || g_state.find(item) == nullptr) return;
  g_state.forget(item);
  g_dirty = true;
  save();
}

}  // namespace tessel

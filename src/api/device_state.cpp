// device_state.cpp — see device_state.h.
#include "api/device_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "api/fd_guard.h"
#include "api/file_replace.h"
#include "diag_log/diag_log.h"

TESSEL_LOG_MODULE("src/api");

namespace tessel {
namespace {

constexpr char kMagicLine[] = "tessel-state 1\n";
constexpr char kPendingWord[] = "pending ";
constexpr char kLastTidWord[] = "last-tid ";
// Every line at its longest, with room to spare: anything longer is no record.
constexpr size_t kMaxRecordSize = 1024;
constexpr size_t kMaxPathSize = 256;
// More unanswered applies than any run lets pile up; a bigger count is no record.
constexpr uint32_t kMaxUnansweredCount = 255;

bool make_path(char* out, const char* directory, const char* key, const char* suffix) {
  const int n = std::snprintf(out, kMaxPathSize, "%s/%s.state%s", directory, key, suffix);
  return n > 0 && static_cast<size_t>(n) < kMaxPathSize;
}

// A decimal number of at most `max`, ending at a blank or line feed.
bool parse_number(const char** p, const char* end, uint32_t max, uint32_t* out) {
  const char* s = *p;
  uint64_t v = 0;
  if (s == end || *s < '0' || *s > '9') return false;
  if (*s == '0' && s + 1 < end && s[1] >= '0' && s[1] <= '9') return false;  // one spelling only
  while (s < end && *s >= '0' && *s <= '9') {
    v = v * 10 + static_cast<uint64_t>(*s - '0');
    if (v > max) return false;
    ++s;
  }
  *out = static_cast<uint32_t>(v);
  *p = s;
  return true;
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool expect(const char** p, const char* end, char c) {
  if (*p == end || **p != c) return false;
  ++*p;
  return true;
}

bool starts_with(const char* p, const char* end, const char* word) {
  const size_t n = std::strlen(word);
  return static_cast<size_t>(end - p) >= n && std::memcmp(p, word, n) == 0;
}

// "pending <item> <digest> <0|1>\n", after the word.
bool parse_pending(const char** p, const char* end, PendingTable* t) {
  uint32_t item = 0;
  if (!parse_number(p, end, INT32_MAX, &item) || !expect(p, end, ' ')) return false;
  t->item = static_cast<int32_t>(item);
  for (uint8_t& b : t->digest) {
    if (end - *p < 2) return false;
    const int hi = hex_value((*p)[0]);
    const int lo = hex_value((*p)[1]);
    if (hi < 0 || lo < 0) return false;
    b = static_cast<uint8_t>(hi << 4 | lo);
    *p += 2;
  }
  if (!expect(p, end, ' ') || *p == end || (**p != '0' && **p != '1')) return false;
  t->diag_may_be_on = **p == '1';
  ++*p;
  // Only a count of at least 1 is written: a record without one reads as 0.
  if (expect(p, end, ' ') &&
      (!parse_number(p, end, kMaxUnansweredCount, &t->unanswered_applies) || t->unanswered_applies == 0))
    return false;
  return expect(p, end, '\n');
}

}  // namespace

const PendingTable* DeviceState::find(int32_t item) const {
  for (size_t i = 0; i < pending_count; ++i) {
    if (pending[i].item == item) return &pending[i];
  }
  return nullptr;
}

void DeviceState::note(const PendingTable& table) {
  forget(table.item);
  if (pending_count == pending.size()) forget(pending[0].item);
  pending[pending_count++] = table;
}

void DeviceState::forget(int32_t item) {
  size_t kept = 0;
  for (size_t i = 0; i < pending_count; ++i) {
    if (pending[i].item != item) pending[kept++] = pending[i];
  }
  pending_count = kept;
}

size_t device_state_format(const DeviceState& state, char* out, size_t size) {
  size_t used = 0;
  auto add = [&](int n) {
    if (n < 0 || static_cast<size_t>(n) >= size - used) return false;
    used += static_cast<size_t>(n);
    return true;
  };
  if (size == 0 || !add(std::snprintf(out, size, "%s", kMagicLine))) return 0;
  for (size_t i = 0; i < state.pending_count; ++i) {
    const PendingTable& t = state.pending[i];
    if (!add(std::snprintf(out + used, size - used, "%s%ld ", kPendingWord, static_cast<long>(t.item))))
      return 0;
    for (uint8_t b : t.digest) {
      if (!add(std::snprintf(out + used, size - used, "%02x", b))) return 0;
    }
    if (!add(std::snprintf(out + used, size - used, " %c", t.diag_may_be_on ? '1' : '0'))) return 0;
    if (t.unanswered_applies != 0 &&
        !add(std::snprintf(out + used, size - used, " %lu",
                           static_cast<unsigned long>(t.unanswered_applies))))
      return 0;
    if (!add(std::snprintf(out + used, size - used, "\n"))) return 0;
  }
  if (state.has_last_tid &&
      !add(std::snprintf(out + used, size - used, "%s%lu\n", kLastTidWord,
                         static_cast<unsigned long>(state.last_tid))))
    return 0;
  return used;
}

int device_state_parse(const char* text, size_t length, DeviceState* state) {
  *state = DeviceState();
  const char* p = text;
  const char* const end = text + length;
  const size_t magic = sizeof kMagicLine - 1;
  if (length < magic || std::memcmp(p, kMagicLine, magic) != 0) return -1;
  p += magic;
  DeviceState s;
  while (p < end) {
    if (starts_with(p, end, kPendingWord)) {
      p += sizeof kPendingWord - 1;
      PendingTable t;
      if (s.pending_count == s.pending.size() || !parse_pending(&p, end, &t) || s.find(t.item) != nullptr)
        return -1;
      s.pending[s.pending_count++] = t;
    } else if (starts_with(p, end, kLastTidWord) && !s.has_last_tid) {
      p += sizeof kLastTidWord - 1;
      // 0 is never issued, so it cannot be the last id a run used.
      if (!parse_number(&p, end, UINT32_MAX, &s.last_tid) || s.last_tid == 0 || !expect(&p, end, '\n'))
        return -1;
      s.has_last_tid = true;
    } else {
      return -1;
    }
  }
  *state = s;
  return 0;
}

int device_state_read(const char* directory, const char* key, DeviceState* state) {
  *state = DeviceState();
  char path[kMaxPathSize];
  if (!make_path(path, directory, key, "")) {
    LOG_TXT(LOG_ERROR, "[tessel] state record of %s: path too long", key);
    return -1;
  }
  // Non-blocking: a FIFO put in its place must not hang the run.
  const FdGuard fd(open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) {
    if (errno == ENOENT) return 1;
    LOG_TXT(LOG_ERROR, "[tessel] state record %s cannot be read (%s); ignored", path, std::strerror(errno));
    return -1;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid() ||
      st.st_size > static_cast<off_t>(kMaxRecordSize)) {
    LOG_TXT(LOG_ERROR, "[tessel] state record %s is no small regular file of this user; ignored", path);
    return -1;
  }
  char text[kMaxRecordSize + 1];
  size_t held = 0;
  for (;;) {
    const ssize_t n = read(fd.get(), text + held, sizeof text - held);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      LOG_TXT(LOG_ERROR, "[tessel] state record %s cannot be read (%s); ignored", path, std::strerror(errno));
      return -1;
    }
    if (n == 0) break;
    held += static_cast<size_t>(n);
    if (held == sizeof text) break;
  }
  if (held > kMaxRecordSize || device_state_parse(text, held, state) != 0) {
    LOG_TXT(LOG_ERROR, "[tessel] state record %s does not parse; ignored", path);
    return -1;
  }
  return 0;
}

int device_state_write(const char* directory, const char* key, const DeviceState& state) {
  char path[kMaxPathSize];
  char temporary[kMaxPathSize];
  if (!make_path(path, directory, key, "") || !make_path(temporary, directory, key, ".tmp")) {
    LOG_TXT(LOG_ERROR, "[tessel] state record of %s: path too long", key);
    return -1;
  }
  // Logs which step failed on which file, keeping errno for the caller.
  auto fail = [](const char* what, const char* name) {
    const int e = errno != 0 ? errno : EIO;
    LOG_TXT(LOG_ERROR, "[tessel] state record %s: %s failed (%s)", name, what, std::strerror(e));
    errno = e;
    return -1;
  };
  if (state.empty()) {
    if (unlink(path) != 0 && errno != ENOENT) return fail("unlink", path);
    // The unlink lasts only once the directory itself is on disk.
    if (sync_directory(directory) != 0) return fail("fsync", directory);
    return 0;
  }
  char text[kMaxRecordSize];
  const size_t length = device_state_format(state, text, sizeof text);
  if (length == 0) {
    errno = EOVERFLOW;
    return fail("format", path);
  }
  // The directory is the user's own, so the temporary name is safe to
  // reuse; one a killed run left behind is simply overwritten. Only the
  // user's own runs read the record: 0600.
  switch (replace_file({path, directory, temporary, TemporaryName::kFixed, 0600}, text, length)) {
    case ReplaceStep::kDone:
      return 0;
    case ReplaceStep::kOpen:
      return fail("open", temporary);
    case ReplaceStep::kWrite:
      return fail("write", temporary);
    case ReplaceStep::kFsync:
      return fail("fsync", temporary);
    case ReplaceStep::kRename:
      return fail("rename", path);
    case ReplaceStep::kSyncDirectory:
      return fail("fsync", directory);
  }
  return fail("write", temporary);  // not reached: every step is named above
}

}  // namespace tessel

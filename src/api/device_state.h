// device_state.h — what one run leaves for the next on the same modem.
//
// A table written but not yet applied is stored in the modem, so the modem's
// digest already names it: a later run that only compared digests would call
// it up to date and never apply it. And a request left unanswered may be
// answered later, to the next run, which must not take that answer as its
// own. So a run notes both in a small record per device, a text file
//   <directory>/<key>.state
//     tessel-state 1
//     pending <item> <32 hex digits> <0|1>[ <n>]
//                         one line per table; 1: DIAG-over-MBIM may be on;
//                         n: its apply went unanswered in the last n runs
//     last-tid <id>       the highest TransactionId any run on the device
//                         used, once one of them left a request unanswered
// in a directory only the effective user can write. It is replaced whole
// (file_replace.h: temporary file, fsync, rename, fsync of the directory),
// so a run killed at any moment leaves the old record or the new one, never
// half of one; a record with nothing left to note is removed. A record that cannot be read
// or does not parse is reported and ignored, never trusted.
#ifndef TESSEL_API_DEVICE_STATE_H_
#define TESSEL_API_DEVICE_STATE_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessel {

// At most this many tables are remembered; a further one replaces the oldest.
constexpr size_t kMaxPendingTables = 8;

struct PendingTable {
  int32_t item = 0;
  std::array<uint8_t, 16> digest{};
  bool diag_may_be_on = false;
  // Runs in a row whose apply of this table timed out (the modem may have
  // applied it and reset, or ignored it); 0 when no apply was sent yet.
  uint32_t unanswered_applies = 0;
};

struct DeviceState {
  std::array<PendingTable, kMaxPendingTables> pending{};
  size_t pending_count = 0;
  bool has_last_tid = false;
  uint32_t last_tid = 0;

  bool empty() const { return pending_count == 0 && !has_last_tid; }
  // The table noted for `item`, or null.
  const PendingTable* find(int32_t item) const;
  // Notes `table`, replacing the one of its item (or the oldest when full).
  void note(const PendingTable& table);
  // Forgets the table of `item`.
  void forget(int32_t item);
};

// Reads the record of `key` in `directory` into `*state` (emptied first).
// 0 with the record, 1 when there is none; -1 when it cannot be read or does
// not parse (logged, `*state` left empty).
int device_state_read(const char* directory, const char* key, DeviceState* state);

// Replaces the record with `state`, or removes it when `state` is empty,
// and returns only once the change is on disk (the file and its directory
// synced). 0, or -1 with a record in the log and errno saying why (EROFS,
// ENOSPC, EIO, EISDIR for a directory in the record's place, ...).
int device_state_write(const char* directory, const char* key, const DeviceState& state);

// The record's text for `state`, written into `out` (`size` bytes); its
// length, or 0 when it does not fit. Parsing that text gives `state` back.
size_t device_state_format(const DeviceState& state, char* out, size_t size);
// 0 when `text` (`length` bytes) is a whole record, else -1.
int device_state_parse(const char* text, size_t length, DeviceState* state);

}  // namespace tessel

#endif  // TESSEL_API_DEVICE_STATE_H_

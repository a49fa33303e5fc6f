// service_api.h — the narrow set of calls through which the command line
// reaches the modem.
//
// Call order: Init, GetIsMbimReady, any command calls, UnInit (also after a
// failed Init or GetIsMbimReady). Every call that reaches the transport holds
// api_lock for the length of that one transport or protocol call, so only
// one call at a time reaches the modem, and logs the protocol result itself
// after releasing it. Every failure folds into -1; the layer below has
// already logged the details.
#ifndef TESSEL_API_SERVICE_API_H_
#define TESSEL_API_SERVICE_API_H_

#include <cstddef>
#include <cstdint>

#include "mbim_commands/diag_transfer.h"

namespace tessel {

// Longest device path Init keeps, terminator excluded.
constexpr size_t kMaxDevicePath = 31;

// Opens the log channel (a failure is reported on standard output and
// otherwise ignored), keeps `device` and sets the transport up verbose when
// `debug` (the command line's --debug) is set, otherwise as VERBOSE says
// (unset or beginning "0": quiet). -1 when the path is missing or longer
// than kMaxDevicePath, or the transport cannot be set up.
int Init(const char* device, bool debug = false);

// Stops the reader, closes the channel, releases the device lock, closes the
// log channel, prints "UnInit".
void UnInit();

// How long each later request waits for its answer (--timeout), instead of
// 30 seconds; the apply keeps its own 3. Call it before GetIsMbimReady.
void SetAnswerTimeout(uint32_t timeout_s);

// Who hears how far each later table write (SetSarValue) has got; null:
// nobody. See diag_transfer.h for when it is told.
void SetTableProgress(TableProgress report, void* context);

// Takes the lock of the device given to Init (device_lock.h), waiting up to
// `wait_s` seconds for another tessel run to finish with it. Call it before
// GetIsMbimReady; UnInit releases it. 0; -1 when the wait ran out (or a
// stop signal ended it); -2 when the lock cannot be used at all (a link or
// another user's file at its path, ...), already reported on standard error.
// Either failure means: open nothing, send nothing.
int LockDevice(uint32_t wait_s);

// A stop signal noted by the front end's handler (stop_request.h), and
// whether one was: the flows skip their remaining steps, the table write
// stops between chunks. Safe to call from a signal handler.
void RequestStop(int signal);
int StopSignal();

// Opens the channel to the device given to Init; sets `*ready` to 1 on
// success only. Through the proxy's abstract socket it first names the
// device to the proxy, which forwards nothing for an unconfigured client.
int GetIsMbimReady(int* ready);

// Switches DIAG-over-MBIM on (non-zero) or off. The entry points keep
// their CamelCase names (SetSarEnable, SetSarValue, ...): the front end's
// error records carry them ("[tessel] SetSarEnable err=%d"), and the
// scripts on devices that read the log match those words.
int SetSarEnable(int enable);
int GetSarEnable(int* enable);
int GetFileMd5(const char* path, uint8_t digest[16]);
// `*read` (when given) is true only when the answer carried the 16 bytes
// and `digest` was written; any other answer still returns 0.
int GetSarMd5(int item, uint8_t digest[16], bool* read = nullptr);
// `expected_md5`, when given, is the file's digest taken before: the bytes
// sent must hash to it (mbim_SetSarValue).
int SetSarValue(const char* path, int item, const uint8_t* expected_md5 = nullptr);
int GetSarValue(uint8_t* data, size_t capacity, uint16_t* length);
// 0 also when the modem left the apply unanswered (it may reset while it
// applies); `*answered` (when given) tells the two apart.
int ApplySarValue(int item, bool* answered = nullptr);
int SendAtCommand(const char* command, const char** reply);

// The device's state record (run_state.h), read by LockDevice, finished by
// UnInit. A table noted as written stays noted until NoteApplied for its
// item: the modem then reporting its digest means it is stored but maybe
// not in force. Without a record (no private directory) nothing is noted
// and PendingApply is always false.
bool PendingApply(int item, const uint8_t digest[16], bool* diag_may_be_on);

// How NoteTableWritten kept its note.
enum class NoteKept {
  kDurable,   // in the record under /var/lib/tessel, synced to disk
  kVolatile,  // synced, but in the run directory: a reboot loses it
  kLost,      // not kept: no record, or it could not be written (StateRecordError)
};
NoteKept NoteTableWritten(int item, const uint8_t digest[16], bool diag_may_be_on);
void NoteApplied(int item);

// After an apply of `item`'s noted table that went unanswered: the note
// stays (DIAG-over-MBIM now known off) with one more unanswered apply, so
// the next run sends the apply again. After kMaxUnansweredApplies in a row
// the note is dropped with an error record: a modem that never answers the
// apply would otherwise be sent it for ever. True while the note stays.
constexpr uint32_t kMaxUnansweredApplies = 3;
bool NoteApplyUnanswered(int item);

// The record's path ("" when the run has none), and the errno of its last
// failed write (0 when none failed), for what the front end tells the user.
const char* StateRecordPath();
int StateRecordError();

}  // namespace tessel

#endif  // TESSEL_API_SERVICE_API_H_

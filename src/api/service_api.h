// service_api.h — the narrow set of calls through which the command line
// reaches the modem.
//
// Call order: Init, LockDevice, GetIsMbimReady, any command calls, UnInit
// (also after a failed Init or GetIsMbimReady). Every call that reaches the
// transport holds api_lock for the length of that one transport or protocol
// call, so only one call at a time reaches the modem, and logs the protocol
// result itself after releasing it.
//
// Each entry point that can fail comes in two forms. In namespace
// tessel::api it returns the Status of what it did (mbim_format/status.h),
// which the front end turns into its exit status and summary line. In
// namespace tessel it returns the documented result: 0, or -1 for every
// failure (LockDevice also -2), folded from that Status
// (service_api_folded.cpp); the layer below has already logged the details.
#ifndef TESSEL_API_SERVICE_API_H_
#define TESSEL_API_SERVICE_API_H_

#include <cstddef>
#include <cstdint>

#include "mbim_commands/diag_transfer.h"
#include "mbim_format/status.h"

namespace tessel {

// Longest device path Init keeps, terminator excluded.
constexpr size_t kMaxDevicePath = 31;

// The documented result of an entry point that ended with `s`: 0 or -1.
constexpr int folded_result(const Status& s) { return s.ok() ? 0 : -1; }

namespace api {

// Opens the log channel (a failure is reported on standard output and
// otherwise ignored), keeps `device` and sets the transport up verbose when
// `debug` (the command line's --debug) is set, otherwise as VERBOSE says
// (unset or beginning "0": quiet). kBadArgument when the path is missing or
// longer than kMaxDevicePath; the transport's failure when it cannot be set up.
Status Init(const char* device, bool debug = false);

// Takes the lock of the device given to Init (device_lock.h), waiting up to
// `wait_s` seconds for another tessel run to finish with it. Call it before
// GetIsMbimReady; UnInit releases it. Ok; kLockBusy when the wait ran out (or
// a stop signal ended it); kLockUnusable when the lock cannot be used at all
// (a link or another user's file at its path, ...), already reported on
// standard error. Either failure means: open nothing, send nothing.
Status LockDevice(uint32_t wait_s);

// Opens the channel to the device given to Init. Through the proxy's
// abstract socket it first names the device to the proxy, which forwards
// nothing for an unconfigured client: a proxy that refuses that command
// still serves, only a failed exchange fails the call.
Status GetIsMbimReady();

// Switches DIAG-over-MBIM on (non-zero) or off. The entry points keep
// their CamelCase names (SetSarEnable, SetSarValue, ...): the front end's
// error records carry them ("[tessel] SetSarEnable err=%d"), and the
// scripts on devices that read the log match those words.
Status SetSarEnable(int enable);
Status GetSarEnable(int* enable);
// kFileUnreadable, with errno, for a file that is missing, no regular file,
// or cannot be read to its end.
Status GetFileMd5(const char* path, uint8_t digest[16]);
// `*read` (when given) is true only when the answer carried the 16 bytes
// and `digest` was written; any other answer is still a success.
Status GetSarMd5(int item, uint8_t digest[16], bool* read = nullptr);
// `expected_md5`, when given, is the file's digest taken before: the bytes
// sent must hash to it (mbim_SetSarValue).
Status SetSarValue(const char* path, int item, const uint8_t* expected_md5 = nullptr);
Status GetSarValue(uint8_t* data, size_t capacity, uint16_t* length);
// Ok also when the modem left the apply unanswered (it may reset while it
// applies); `*answered` (when given) tells the two apart.
Status ApplySarValue(int item, bool* answered = nullptr);
Status SendAtCommand(const char* command, const char** reply);

}  // namespace api

// The forms with the documented results: each is its api:: form folded.
int Init(const char* device, bool debug = false);
// 0; -1 when the wait ran out (or a stop signal ended it); -2 when the lock
// cannot be used at all.
int LockDevice(uint32_t wait_s);
// Sets `*ready` to 1 on success only.
int GetIsMbimReady(int* ready);
int SetSarEnable(int enable);
int GetSarEnable(int* enable);
int GetFileMd5(const char* path, uint8_t digest[16]);
int GetSarMd5(int item, uint8_t digest[16], bool* read = nullptr);
int SetSarValue(const char* path, int item, const uint8_t* expected_md5 = nullptr);
int GetSarValue(uint8_t* data, size_t capacity, uint16_t* length);
int ApplySarValue(int item, bool* answered = nullptr);
int SendAtCommand(const char* command, const char** reply);

// Stops the reader, closes the channel, releases the device lock, closes the
// log channel, prints "UnInit".
void UnInit();

// How long each later request waits for its answer (--timeout), instead of
// 30 seconds; the apply keeps its own 3. Call it before GetIsMbimReady.
void SetAnswerTimeout(uint32_t timeout_s);

// Who hears how far each later table write (SetSarValue) has got; null:
// nobody. See diag_transfer.h for when it is told.
void SetTableProgress(TableProgress report, void* context);

// A stop signal noted by the front end's handler (stop_request.h), and
// whether one was: the flows skip their remaining steps, the table write
// stops between chunks. Safe to call from a signal handler.
void RequestStop(int signal);
int StopSignal();

// The device's state record (run_state.h), read by LockDevice, finished by
// UnInit. A table noted as written stays noted until NoteApplied for its
// item: the modem then reporting its digest means it is stored but maybe
// not in force. Without a record (no private directory) nothing is noted
// and PendingApply is always false.
bool PendingApply(int item, const uint8_t digest[16], bool* diag_may_be_on);

// Notes the table as written, not applied. Ok once the note is in the record
// under /var/lib/tessel, synced to disk; kStateVolatile when it is synced
// but in the run directory, which a reboot empties; kStateNotKept, with the
// errno of the failed write (ENOENT: the run has no record), when it is not
// kept at all.
Status NoteTableWritten(int item, const uint8_t digest[16], bool diag_may_be_on);
void NoteApplied(int item);

// After an apply of `item`'s noted table that went unanswered: the note
// stays (DIAG-over-MBIM now known off) with one more unanswered apply, so
// the next run sends the apply again. After kMaxUnansweredApplies in a row
// the note is dropped with an error record: a modem that never answers the
// apply would otherwise be sent it for ever. True while the note stays.
constexpr uint32_t kMaxUnansweredApplies = 3;
bool NoteApplyUnanswered(int item);

// The record's path ("" when the run has none), for what the front end
// tells the user.
const char* StateRecordPath();

}  // namespace tessel

#endif  // TESSEL_API_SERVICE_API_H_

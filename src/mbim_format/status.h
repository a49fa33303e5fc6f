// status.h — what became of a call, in one vocabulary from the transport up
// to the exit status: a Code, the step of the run it happened in, and what
// the modem or the kernel said, when one of them said something.
//
// The transport, the commands and the service API return a Status; the
// front end names the step and turns it into an exit status and a summary
// line (main/outcome.h). The numbers the log records and the service API's
// documented results have always shown are made from it at those edges
// (legacy_result, and the API's 0/-1), so every record stays what it was:
//
//   code              number    meaning
//   ----------------  --------  ---------------------------------------------
//   kOk                    0    done
//   kNoChannel           -19    no request, no channel or stop pipe, or the
//                               exchange was woken without a response (the
//                               reader ended)
//   kTimedOut            110    the wait ended before the answer came, after
//                               the whole request was written: only then may
//                               the modem have it (sys_errno: the wait's own
//                               result, ETIMEDOUT; the number shows it)
//   kWriteFailed          -1    the request was not written whole: a failed
//                               or short write, or a channel still busy at the
//                               deadline (sys_errno: the write's error, if any)
//   kModemStatus      Status    a done whose Status is not SUCCESS (mbim_status)
//   kFunctionError    code/71   an MBIM_FUNCTION_ERROR_MSG (mbim_status: its
//                               ErrorStatusCode; 0 shows as 71, EPROTO)
//   kMalformedAnswer      -1    an answer too short to be judged
//   kTransfer             -1    DIAG transfer: a reply's FCS is wrong or it is
//                               too short for what it claims, or BUSY answers
//                               outran the retries
//   kBadReply             -2    DIAG transfer: a checked write reply is not
//                               one, or a read reply claims more than 4096
//                               bytes, brings no byte or more than are left,
//                               or announces another table size than the first
//   kReadOverflow         -4    DIAG read: the table announced is larger than
//                               the caller's buffer or than 65535 bytes
//   kStopped              -5    a stop signal arrived: the transfer ended
//                               between two packets, or the run between steps
//   kTableChanged         -6    DIAG write: the bytes sent do not hash to the
//                               digest taken of the file before
//   kBadArgument          -1    a device path missing or too long, a request
//                               too large to build
//   kFileUnreadable       -1    a local table file cannot be read whole, or
//                               changed size while it was read (sys_errno)
//   kLockBusy             -1    another run held the device's lock for the
//                               whole wait, or a stop signal ended the wait
//   kLockUnusable         -2    the lock file cannot be opened, checked or locked
//   kStateVolatile        -1    the state record's note is kept, but where a
//                               reboot loses it
//   kStateNotKept         -1    the note is not kept: no record, or it could
//                               not be written (sys_errno; ENOENT: no record)
//   kNoDigest             -1    the modem's answer carried no 16-byte digest
//   kEmptyTable           -1    the modem holds no table to read
//   kDigestMismatch       -1    a digest is not the one it must be
//   kFileUnwritable       -1    a local file cannot be written (sys_errno)
//
// Cheap to copy (8 bytes, no heap: one register on a 64-bit host); ok() is
// the question most callers ask.
#ifndef TESSEL_MBIM_FORMAT_STATUS_H_
#define TESSEL_MBIM_FORMAT_STATUS_H_

#include <cstdint>

namespace tessel {

enum class Code : uint8_t {
  kOk,
  kNoChannel,
  kTimedOut,
  kWriteFailed,
  kModemStatus,
  kFunctionError,
  kMalformedAnswer,
  kTransfer,
  kBadReply,
  kReadOverflow,
  kStopped,
  kTableChanged,
  kBadArgument,
  kFileUnreadable,
  kLockBusy,
  kLockUnusable,
  kStateVolatile,
  kStateNotKept,
  kNoDigest,
  kEmptyTable,
  kDigestMismatch,
  kFileUnwritable,
};

// The steps of a run, as the summary line names them (main/outcome.cpp):
// the front end says which step a Status belongs to; below it, kNone.
enum class Step : uint8_t {
  kNone,
  kConnect,      // the log channel, the transport, the channel itself
  kLock,         // the device lock
  kFile,         // the table file's digest
  kQuery,        // the modem's digest, before anything else
  kState,        // the note "written, not applied" in the state record
  kEnable,       // DIAG-over-MBIM on
  kWrite,        // the table write
  kDisable,      // DIAG-over-MBIM off
  kReadback,     // the modem's digest after the write
  kApply,        // the apply
  kVerify,       // the digest that must match, after the apply or the read
  kRead,         // --save: the table read out
  kSave,         // --save: FILE written
  kAnswer,       // debug_tool: the AT command's answer
  kInterrupted,  // a stop signal ended the run
};

struct Status {
  Code code = Code::kOk;
  Step step = Step::kNone;
  int16_t sys_errno = 0;     // errno, when the kernel gave one (every errno fits)
  uint32_t mbim_status = 0;  // the modem's Status or ErrorStatusCode, when it gave one

  constexpr Status() = default;
  // Implicit, so that a failure without details reads `return Code::kStopped;`.
  constexpr Status(Code c) : code(c) {}  // NOLINT(google-explicit-constructor)

  // A done whose Status is `status`, or a function error with `code`.
  static constexpr Status modem(uint32_t status) { return Status(Code::kModemStatus, status, 0); }
  static constexpr Status function_error(uint32_t code) {
    return Status(Code::kFunctionError, code, 0);
  }
  // `c`, with the errno `error` that caused it.
  static constexpr Status system(Code c, int error) { return Status(c, 0, error); }

  constexpr bool ok() const { return code == Code::kOk; }
  // The modem answered and refused: the exchange itself worked.
  constexpr bool refused() const {
    return code == Code::kModemStatus || code == Code::kFunctionError;
  }
  // The same status, said to belong to `s`.
  constexpr Status at(Step s) const {
    Status r = *this;
    r.step = s;
    return r;
  }

 private:
  constexpr Status(Code c, uint32_t status, int error)
      : code(c), sys_errno(static_cast<int16_t>(error)), mbim_status(status) {}
};
static_assert(sizeof(Status) == 8, "a Status fits in one 64-bit register");

// The number the log records have always shown for `s` (the table above).
int legacy_result(const Status& s);

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_STATUS_H_

// result_codes.h — the result codes that travel up from the transport and the
// commands, by name.
//
// Every call below the service API returns 0 or one of these, or a non-zero
// MBIM Status / ErrorStatusCode of the modem's answer (1 to 12, 21, …, see
// status.h), passed up unchanged. The service API folds every non-zero
// code into kApiFailure. The values are those the tool has always logged in
// its "err=%d" records; they never change.
//
//   code   name                  meaning
//   ----   --------------------  -----------------------------------------------
//      0   kResultOk             done
//    -19   kErrNoChannel         no request, no channel or stop pipe, or the
//                                exchange was woken without a response (the
//                                reader ended)
//    110   kErrTimedOut          the wait's deadline passed (ETIMEDOUT)
//     71   kErrFunctionError     an MBIM_FUNCTION_ERROR_MSG whose ErrorStatusCode
//                                is 0 (EPROTO): refused all the same; other
//                                codes are returned as they are
//     -1   kErrWriteFailed       the request could not be written (or a write's
//                                own negative result)
//     -1   kErrMalformedAnswer   an answer too short to be judged
//     -1   kErrTransfer          DIAG transfer: the table cannot be read whole,
//                                a reply's FCS is wrong, or BUSY answers outran
//                                the retries
//     -2   kErrBadReply          DIAG transfer: a checked write reply is not one,
//                                or a read reply claims more than 4096 bytes,
//                                brings no byte or more than are left, or
//                                announces another table size than the first
//     -4   kErrReadOverflow      DIAG read: the table announced is larger than
//                                the caller's buffer or than 65535 bytes (the
//                                most a 16-bit offset can reach)
//     -5   kErrStopped           a stop signal arrived: the transfer ended between
//                                two packets
//     -6   kErrTableChanged      DIAG write: the bytes sent do not hash to the
//                                digest taken of the file before (it was
//                                rewritten during the transfer)
//     -1   kApiFailure           any failure, as the service API returns it
#ifndef TESSEL_MBIM_FORMAT_RESULT_CODES_H_
#define TESSEL_MBIM_FORMAT_RESULT_CODES_H_

namespace tessel {

constexpr int kResultOk = 0;
constexpr int kErrNoChannel = -19;
constexpr int kErrTimedOut = 110;
constexpr int kErrFunctionError = 71;
constexpr int kErrWriteFailed = -1;
constexpr int kErrMalformedAnswer = -1;
constexpr int kErrTransfer = -1;
constexpr int kErrBadReply = -2;
constexpr int kErrReadOverflow = -4;
constexpr int kErrStopped = -5;
constexpr int kErrTableChanged = -6;
constexpr int kApiFailure = -1;

// True for a failure of the transport itself rather than an MBIM Status:
// the exchange never got an answer to judge.
constexpr bool is_transport_failure(int result) {
  return result < 0 || result == kErrTimedOut;
}

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_RESULT_CODES_H_

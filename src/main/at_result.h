// at_result.h — the final result code of a modem's AT reply.
//
// A reply is information lines followed by one final result line: "OK",
// "ERROR", "+CME ERROR: <n>" (equipment) or "+CMS ERROR: <n>" (messages).
// The final result is the reply's last non-empty line, whatever line ends
// (CR, LF or both) the modem uses.
#ifndef TESSEL_MAIN_AT_RESULT_H_
#define TESSEL_MAIN_AT_RESULT_H_

#include "main/outcome.h"

namespace tessel {

// Fills the result, final and code of `*o` from `reply` (null: the answer
// carried no text): kOk for OK; kError for ERROR, +CME ERROR, +CMS ERROR,
// or a reply without a final result.
void classify_at_reply(const char* reply, AtOutcome* o);

}  // namespace tessel

#endif  // TESSEL_MAIN_AT_RESULT_H_

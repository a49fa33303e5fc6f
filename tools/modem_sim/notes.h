// notes.h — the simulator's own remarks on stderr: what it received, what it
// refused and why. They are for the person reading a failed test's output;
// the byte-exact record of the traffic is the --log file (wire_log.h).
#ifndef TESSEL_TOOLS_MODEM_SIM_NOTES_H_
#define TESSEL_TOOLS_MODEM_SIM_NOTES_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace tessel::sim {

// After this, note() writes nothing (--quiet).
void silence_notes();

// One line on stderr, prefixed with "tessel-modem-sim: ".
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));

// `length` bytes as lower-case hex pairs without separators.
std::string hex_text(const uint8_t* bytes, size_t length);

// `length` bytes as readable text: printable ASCII as it is, \r \n \t and
// \xHH for the rest, at most `limit` input bytes followed by "..." when cut.
std::string printable_text(const uint8_t* bytes, size_t length, size_t limit = 200);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_NOTES_H_

// options.h — the simulator's command line: how it serves, what it stores,
// and the fault knobs that make the modem misbehave on purpose.
//
// A knob that names a CID matches that CID number in any service, so
// `--busy 25:2` refuses the next two DIAG packets and `--status 8:2` fails
// every AT command.
#ifndef TESSEL_TOOLS_MODEM_SIM_OPTIONS_H_
#define TESSEL_TOOLS_MODEM_SIM_OPTIONS_H_

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tessel::sim {

enum class ServeMode { kNone, kPty, kAbstract, kSocket, kUsbip };

// Extra messages sent ahead of a reply (`--inject`).
enum class InjectKind {
  kIndication,  // a basic-connect signal-state indication, TransactionId 0
  kUnrelated,   // a command done for TransactionId request + 1000
  kLength0,     // a header whose MessageLength is 0
  kLength5,     // a header whose MessageLength is 5
  kLength100000,  // a header whose MessageLength is 100000
  kGarbage,     // 64 random bytes
};

// A DIAG read reply that lies (`--read-lie`); each one is told only after the
// first reply of a read, which announces the table's true size.
enum class ReadLie {
  kNone,
  kTotalChanges,  // BytesRemainingLen one more than the truth: the total grows
  kOverlong,      // the last reply carries one byte more than remains
  kEmpty,         // no data while bytes remain; BytesRemainingLen the truth
};

struct CidValue {
  uint32_t cid;
  uint32_t value;
};

struct Options {
  ServeMode mode = ServeMode::kNone;
  std::string socket_path;     // --socket
  std::string log_path;        // --log
  bool exit_on_stdin_eof = false;
  bool quiet = false;           // --quiet: no notes on stderr

  // --usbip only (usbip_plug.h).
  uint32_t unplug_after_chunk = 0;  // --unplug-after-chunk N, 0 = never
  bool replug = false;              // --replug-after given
  uint32_t replug_after_ms = 0;     // --replug-after MS

  int32_t item = 48001;        // --item: the table read by DIAG reads and kept by --table-in/out
  std::string table_in;        // --table-in
  std::string table_out;       // --table-out
  uint32_t read_chunk = 1000;  // --read-chunk: table bytes per DIAG read reply
  ReadLie read_lie = ReadLie::kNone;  // --read-lie
  uint32_t fail_write_chunk = 0;      // --fail-write-chunk N, 0 = never
  bool fail_reads = false;            // --fail-reads

  std::string at_reply = "\r\nOK\r\n";  // --at-reply, escapes already processed
  bool at_empty = false;                 // --at-empty

  std::vector<CidValue> busy;            // --busy CID:K
  std::vector<CidValue> status;          // --status CID:S
  std::vector<CidValue> function_error;  // --function-error CID:CODE
  std::vector<CidValue> delay;           // --delay CID:MS
  std::vector<uint32_t> no_reply;        // --no-reply CID
  std::vector<CidValue> late;            // --late CID:STATUS
  uint32_t delay_ms = 0;                 // --delay-ms
  uint32_t hangup_at = 0;                // --hangup-at N, 0 = never
  uint32_t mute_at = 0;                  // --mute-at N: the N-th request of the run, 0 = never
  bool hangup_on_mute = false;           // --hangup-on-mute
  bool closed = false;                   // --closed: the MBIM function starts closed
  std::vector<InjectKind> inject;        // --inject
  bool inject_same_write = false;
  bool bad_signature = false;
  int32_t md5_length = -1;               // --md5-length, -1 = the 16-byte digest as it is
  bool md5_after_apply = false;          // --md5-after-apply: CID 22 follows CID 23, not writes
  bool md5_frozen = false;               // --md5-frozen: CID 22 repeats its first digest per item
  uint32_t hostile_ms = 0;               // --hostile MS, 0 = off (hostile.h)
  bool hostile_then_silent = false;      // --hostile-then-silent
  uint32_t seed = 1;                     // --seed: random garbage, --hostile bursts
};

// Results of parse_options.
constexpr int kOptionsOk = 0;
constexpr int kOptionsHelpShown = 1;  // --help printed the usage; exit 0
constexpr int kOptionsBad = -1;       // a diagnostic went to stderr; exit 2

// Fills `*out` from the command line. Every value is checked whole: a number
// with trailing characters, a CID knob without its colon, an unknown
// escape in --at-reply or an unknown --read-lie is refused with a
// diagnostic on stderr.
int parse_options(int argc, char** argv, Options* out);

// Turns the C escapes \r \n \t \0 \\ and \xHH (two hex digits) of `text`
// into the bytes they stand for. Returns 0, or -1 for a lone or unknown
// escape (the position goes to `*bad_at`).
int unescape_text(const std::string& text, std::string* out, size_t* bad_at);

// Writes the full usage text, with examples, to `stream`: the option rows
// (option_rows.h) laid out.
void print_usage(std::FILE* stream);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_OPTIONS_H_

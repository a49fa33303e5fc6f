// stderr_log.cpp — host stand-in for the platform's libdiag.so.1.
//
// Writes every record to standard error as one line (record_line.h) through
// line_sink.cpp. Each line is written under stdio's lock of standard error,
// so lines from the main thread and the reader thread stay whole.
//
// Where standard error goes decides what comes before the line:
//   the journal (JOURNAL_STREAM = "<device>:<inode>" of standard error, as
//   systemd sets it)  the sd-daemon priority, "<3>" for an error record,
//                     "<6>" for progress, "<7>" for the message dump, so
//                     that `journalctl -p err` shows the failures alone;
//   a terminal        "\r\033[K", which wipes a progress line the tool may
//                     have drawn there (it has no newline of its own), so a
//                     record never lands behind it;
//   anything else     nothing: the line exactly as record_line.h builds it.
// Both are looked up at every record, not once: a run's few hundred records
// cost a getenv and an fstat or an isatty each, nothing beside an exchange.
// The journal check is the one the tool's own lines use
// (src/diag_log/operator_line.h): records and those lines share standard
// error, so they must agree on what it is.
#include <unistd.h>

#include <cstdio>

#include "diag_log/operator_line.h"
#include "record_line.h"

void libdiag::emit_line(const msg_const_type* rec, const char* line, size_t length) {
  flockfile(stderr);
  if (tessel::stderr_is_journal()) {
    std::fprintf(stderr, "<%d>", record_priority(rec));
  } else if (isatty(2)) {
    std::fputs("\r\033[K", stderr);
  }
  std::fwrite(line, 1, length, stderr);
  funlockfile(stderr);
}

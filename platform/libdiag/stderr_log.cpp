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
// The tool's own lines check the journal the same way
// (src/diag_log/operator_line.cpp); the stand-in keeps its own copy, as the
// platform's library would.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "record_line.h"

namespace {

// The decimal digits at `*p` up to `end_char`; false for no digit, any
// other character, or a value that does not fit.
bool read_number(const char** p, char end_char, unsigned long long* out) {
  const char* q = *p;
  unsigned long long value = 0;
  for (; *q >= '0' && *q <= '9'; ++q) {
    const unsigned digit = static_cast<unsigned>(*q - '0');
    if (value > (~0ULL - digit) / 10) return false;
    value = value * 10 + digit;
  }
  if (q == *p || *q != end_char) return false;
  *p = q + 1;
  *out = value;
  return true;
}

bool stderr_is_journal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  if (!read_number(&stream, ':', &device) || !read_number(&stream, '\0', &inode)) return false;
  struct stat st;
  return fstat(2, &st) == 0 && static_cast<unsigned long long>(st.st_dev) == device &&
         static_cast<unsigned long long>(st.st_ino) == inode;
}

}  // namespace

void libdiag::emit_line(const msg_const_type* rec, const char* line, size_t length) {
  flockfile(stderr);
  if (stderr_is_journal()) {
    std::fprintf(stderr, "<%d>", record_priority(rec));
  } else if (isatty(2)) {
    std::fputs("\r\033[K", stderr);
  }
  std::fwrite(line, 1, length, stderr);
  funlockfile(stderr);
}

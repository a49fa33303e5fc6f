// operator_line.cpp — see operator_line.h.
#include "diag_log/operator_line.h"

#include <sys/stat.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace tessel {
namespace {

// Reads the decimal digits at `*p` up to `end_char`; false for no digit, any
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

}  // namespace

bool stderr_is_journal() {
  // Looked up at every line: there are a handful per run, and a test (or a
  // caller) may point standard error elsewhere between two of them.
  const char* stream = std::getenv("JOURNAL_STREAM");
  if (stream == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  if (!read_number(&stream, ':', &device) || !read_number(&stream, '\0', &inode)) return false;
  struct stat st;
  return fstat(2, &st) == 0 && static_cast<unsigned long long>(st.st_dev) == device &&
         static_cast<unsigned long long>(st.st_ino) == inode;
}

void operator_line(LinePriority priority, const char* format, ...) {
  // One lock around prefix and text: a record written by the reader thread
  // in between would take the prefix as its own.
  flockfile(stderr);
  if (stderr_is_journal()) std::fprintf(stderr, "<%d>", static_cast<int>(priority));
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  funlockfile(stderr);
}

}  // namespace tessel

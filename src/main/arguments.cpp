// arguments.cpp — see arguments.h.
#include "main/arguments.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace tessel {

bool parse_whole_number(const char* text, uint32_t max, uint32_t* out) {
  if (text == nullptr) return false;
  if (*text == '+') ++text;
  if (*text == '\0') return false;
  uint32_t value = 0;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
    value = value * 10 + static_cast<uint32_t>(*text - '0');
    if (value > max) return false;  // also stops the sum before it can wrap
  }
  *out = value;
  return true;
}

int check_table_file(const char* program, const char* path) {
  // Without -f the check fails too, and the report has no prefix.
  if (path == nullptr) {
    errno = ENOENT;
    std::perror(nullptr);
    return -1;
  }
  if (access(path, R_OK) != 0) {
    std::perror(path);
    return -1;
  }
  // stat, not open: opening a FIFO would wait for a writer for ever.
  struct stat st;
  if (stat(path, &st) != 0) {
    std::perror(path);
    return -1;
  }
  if (!S_ISREG(st.st_mode)) {
    std::fprintf(stderr, "%s: %s: not a regular file\n", program, path);
    return -1;
  }
  if (st.st_size == 0) {
    std::fprintf(stderr, "%s: %s: the table file is empty\n", program, path);
    return -1;
  }
  return 0;
}

}  // namespace tessel

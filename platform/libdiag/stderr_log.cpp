// stderr_log.cpp — host stand-in for the platform's libdiag.so.1.
//
// Writes every record to standard error as one line:
//   E src/main:57 [tessel] Init err=-1
// "E" for the error level (mask 8), "I" for any other, then the call site and
// the formatted text with the format's trailing newlines dropped. One fwrite
// per record: stdio's own lock keeps lines from the main thread and the
// reader thread whole. Lines are built in a stack buffer (a heap block only
// for a line too long for it), so the stand-in needs no C++ runtime.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "libdiag.h"
#include "record_text.h"

namespace {

constexpr uint32_t kErrorMask = 8;

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

// Room for every line but a few long string records; those get a heap block.
constexpr size_t kLineRoom = 512;

// Writes the line: the prefix, then the text that `format(out, room)`
// produces (snprintf's contract), with the format's trailing newlines dropped.
template <typename Format>
void write_line(const msg_const_type* rec, Format format) {
  char stack_line[kLineRoom];
  std::unique_ptr<char, FreeDeleter> heap_line;
  char* line = stack_line;
  size_t room = kLineRoom;

  const int prefix = std::snprintf(line, room, "%c %s:%u ", (rec->ss_mask & kErrorMask) ? 'E' : 'I',
                                   rec->fname != nullptr ? rec->fname : "?",
                                   static_cast<unsigned>(rec->line));
  if (prefix < 0 || static_cast<size_t>(prefix) + 2 > room) return;
  const size_t start = static_cast<size_t>(prefix);
  // The text goes behind the prefix, leaving a byte for the line feed.
  size_t length = format(line + start, room - start - 1);
  if (start + length + 2 > room) {
    const size_t cut = room - start - 2;
    room = start + length + 2;
    heap_line.reset(static_cast<char*>(std::malloc(room)));
    if (heap_line == nullptr) {
      length = cut;  // out of memory: the line as far as it fitted
    } else {
      line = heap_line.get();
      std::memcpy(line, stack_line, start);
      const size_t again = format(line + start, room - start - 1);
      if (again < length) length = again;
    }
  }
  size_t end = start + length;
  while (end > start && (line[end - 1] == '\n' || line[end - 1] == '\r')) --end;
  line[end++] = '\n';
  std::fwrite(line, 1, end, stderr);
}

void send_words(const msg_const_type* rec, const uint32_t* words, size_t count) {
  if (rec == nullptr) return;
  write_line(rec, [&](char* out, size_t room) {
    return libdiag::format_words_into(out, room, rec->fmt, words, count);
  });
}

}  // namespace

extern "C" {

unsigned char Diag_LSM_Init(unsigned char*) { return 1; }
unsigned char Diag_LSM_DeInit(void) { return 1; }

void msg_send(const msg_const_type* rec) { send_words(rec, nullptr, 0); }

void msg_send_1(const msg_const_type* rec, uint32_t a) {
  const uint32_t w[] = {a};
  send_words(rec, w, 1);
}

void msg_send_2(const msg_const_type* rec, uint32_t a, uint32_t b) {
  const uint32_t w[] = {a, b};
  send_words(rec, w, 2);
}

void msg_send_3(const msg_const_type* rec, uint32_t a, uint32_t b, uint32_t c) {
  const uint32_t w[] = {a, b, c};
  send_words(rec, w, 3);
}

void msg_send_var(const msg_const_type* rec, uint32_t count, ...) {
  // No record of this tool carries more than eight values; a larger count
  // would be a caller's fault, so read no more than the buffer holds.
  uint32_t w[16];
  const uint32_t n = count < 16 ? count : 16;
  va_list ap;
  va_start(ap, count);
  for (uint32_t i = 0; i < n; ++i) w[i] = va_arg(ap, uint32_t);
  va_end(ap);
  send_words(rec, w, n);
}

void msg_sprintf(const msg_const_type* rec, ...) {
  if (rec == nullptr) return;
  va_list ap;
  va_start(ap, rec);
  write_line(rec, [&](char* out, size_t room) {
    // A line too long for the stack buffer is formatted twice: each pass
    // reads the arguments from a copy.
    va_list copy;
    va_copy(copy, ap);
    const size_t length = libdiag::format_args_into(out, room, rec->fmt, copy);
    va_end(copy);
    return length;
  });
  va_end(ap);
}

}  // extern "C"

// record_line.cpp — see record_line.h.
#include "record_line.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "record_text.h"

namespace libdiag {
namespace {

constexpr uint32_t kErrorMask = 8;
constexpr char kDumpFile[] = "src/mbim_dump";

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

// Room for every line but a few long string records; those get a heap block.
constexpr size_t kLineRoom = 512;

// The prefix, then the text that `format(out, room)` writes (snprintf's
// contract), with the format's trailing newlines dropped.
template <typename Format>
void build_line(const msg_const_type* rec, Format format, EmitLine emit) {
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
  emit(rec, line, end);
}

}  // namespace

int record_priority(const msg_const_type* rec) {
  if ((rec->ss_mask & kErrorMask) != 0) return 3;
  if (rec->fname != nullptr && std::strcmp(rec->fname, kDumpFile) == 0) return 7;
  return 6;
}

void line_of_words(const msg_const_type* rec, const uint32_t* words, size_t count, EmitLine emit) {
  build_line(
      rec,
      [&](char* out, size_t room) { return format_words_into(out, room, rec->fmt, words, count); },
      emit);
}

void line_of_args(const msg_const_type* rec, va_list args, EmitLine emit) {
  build_line(
      rec,
      [&](char* out, size_t room) {
        // A line too long for the stack buffer is formatted twice: each pass
        // reads the arguments from a copy.
        va_list copy;
        va_copy(copy, args);
        const size_t length = format_args_into(out, room, rec->fmt, copy);
        va_end(copy);
        return length;
      },
      emit);
}

}  // namespace libdiag

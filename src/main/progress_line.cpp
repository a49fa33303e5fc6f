// progress_line.cpp — see progress_line.h.
#include "main/progress_line.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "api/service_api.h"

namespace tessel {
namespace {

constexpr int64_t kRedrawNanoseconds = 100000000;  // ten lines a second at most

struct ProgressLine {
  bool started = false;
  bool drawn = false;
  int64_t start_ns = 0;
  int64_t drawn_ns = 0;
};

ProgressLine g_line;

int64_t monotonic_ns() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
}

void draw(ProgressLine* line, size_t sent, size_t total, int64_t now) {
  const unsigned percent = total > 0 ? static_cast<unsigned>(uint64_t{sent} * 100 / total) : 100;
  const int64_t elapsed = now - line->start_ns;
  flockfile(stderr);
  std::fprintf(stderr, "\rtessel: writing the table: %zu of %zu bytes (%u%%)", sent, total, percent);
  if (sent > 0 && elapsed > 0) {
    std::fprintf(stderr, ", %.1f KiB/s", static_cast<double>(sent) / 1024.0 * 1e9 / static_cast<double>(elapsed));
  }
  std::fputs("\033[K", stderr);
  funlockfile(stderr);
  line->drawn = true;
  line->drawn_ns = now;
}

void on_progress(void* context, size_t sent, size_t total, bool ended) {
  ProgressLine* line = static_cast<ProgressLine*>(context);
  if (ended) {
    if (line->drawn) std::fputs("\r\033[K", stderr);
    *line = ProgressLine{};
    return;
  }
  const int64_t now = monotonic_ns();
  if (!line->started) {
    line->started = true;
    line->start_ns = now;
  } else if (now - line->drawn_ns < kRedrawNanoseconds) {
    return;
  }
  draw(line, sent, total, now);
}

}  // namespace

void show_table_progress() {
  if (isatty(2) == 1) SetTableProgress(on_progress, &g_line);
}

}  // namespace tessel

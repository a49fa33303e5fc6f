// progress_line.cpp — see progress_line.h.
#include "main/progress_line.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "api/service_api.h"

namespace tessel {
namespace {

constexpr long kRedrawMilliseconds = 100;  // ten lines a second at most

struct ProgressLine {
  bool started = false;
  bool drawn = false;
  timespec start{};
  timespec drawn_at{};
};

ProgressLine g_line;

// Milliseconds from `from` to `to`. Plain long and double arithmetic: 64-bit
// division would cost the 32-bit target a runtime library of its own.
long ms_between(const timespec& from, const timespec& to) {
  return (to.tv_sec - from.tv_sec) * 1000L + (to.tv_nsec - from.tv_nsec) / 1000000L;
}

void draw(ProgressLine* line, size_t sent, size_t total, const timespec& now) {
  const double done = static_cast<double>(sent);
  const unsigned percent = total > 0 ? static_cast<unsigned>(100.0 * done / static_cast<double>(total)) : 100;
  const long elapsed = ms_between(line->start, now);
  flockfile(stderr);
  std::fprintf(stderr, "\rtessel: writing the table: %zu of %zu bytes (%u%%)", sent, total, percent);
  if (sent > 0 && elapsed > 0) {
    std::fprintf(stderr, ", %.1f KiB/s", done / 1024.0 * 1000.0 / static_cast<double>(elapsed));
  }
  std::fputs("\033[K", stderr);
  funlockfile(stderr);
  line->drawn = true;
  line->drawn_at = now;
}

void on_progress(void* context, size_t sent, size_t total, bool ended) {
  ProgressLine* line = static_cast<ProgressLine*>(context);
  if (ended) {
    if (line->drawn) std::fputs("\r\033[K", stderr);
    *line = ProgressLine{};
    return;
  }
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  if (!line->started) {
    line->started = true;
    line->start = now;
  } else if (ms_between(line->drawn_at, now) < kRedrawMilliseconds) {
    return;
  }
  draw(line, sent, total, now);
}

}  // namespace

void show_table_progress() {
  if (isatty(2) == 1) SetTableProgress(on_progress, &g_line);
}

}  // namespace tessel

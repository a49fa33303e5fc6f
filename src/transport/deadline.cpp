// deadline.cpp — see deadline.h.
#include "transport/deadline.h"

namespace tessel {

timespec timeout_offset(uint32_t timeout_s) {
  const uint32_t ms = timeout_s * 1000u;  // wraps, deliberately
  timespec offset{};
  if (ms == 0) {
    offset.tv_sec = 4294967;
    offset.tv_nsec = 295000000;
  } else {
    offset.tv_sec = static_cast<time_t>(ms / 1000u);
    offset.tv_nsec = static_cast<long>(ms % 1000u) * 1000000L;
  }
  return offset;
}

timespec deadline_from(timespec now, uint32_t timeout_s) {
  const timespec offset = timeout_offset(timeout_s);
  timespec d{};
  d.tv_sec = now.tv_sec + offset.tv_sec;
  d.tv_nsec = now.tv_nsec + offset.tv_nsec;
  if (d.tv_nsec > 999999999L) {
    d.tv_sec += 1;
    d.tv_nsec -= 1000000000L;
  }
  return d;
}

timespec deadline_after(uint32_t timeout_s) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return deadline_from(now, timeout_s);
}

}  // namespace tessel

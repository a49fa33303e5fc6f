// timestamp.cpp — see timestamp.h.
#include "transport/timestamp.h"

#include <cstdio>

namespace tessel {

void format_timestamp(time_t seconds, long microseconds, char* out, size_t size) {
  long ms = (microseconds + 500) / 1000;
  if (ms >= 1000) {
    seconds += 1;
    ms = 0;
  }
  tm local{};
  localtime_r(&seconds, &local);
  std::snprintf(out, size, "%02d-%02d_%02d:%02d:%02d:%03d", local.tm_mon + 1, local.tm_mday,
                local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
}

}  // namespace tessel

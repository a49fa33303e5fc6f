// wait_notice.cpp — see wait_notice.h.
#include "transport/wait_notice.h"

#include <array>

#include "byte_order/byte_order.h"
#include "diag_log/operator_line.h"
#include "mbim_dump/hex_text.h"
#include "mbim_dump/name_tables.h"
#include "mbim_format/mbim_message.h"

namespace tessel {

bool earlier(const timespec& a, const timespec& b) {
  return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

void say_still_waiting(const uint8_t* request, uint32_t length, const timespec& deadline) {
  // The deadline is on the monotonic clock; the operator reads a wall clock.
  timespec now{};
  timespec wall{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  clock_gettime(CLOCK_REALTIME, &wall);
  const time_t until = wall.tv_sec + (deadline.tv_sec - now.tv_sec);
  std::array<char, 16> clock_text{};
  struct tm local {};
  if (localtime_r(&until, &local) == nullptr ||
      strftime(clock_text.data(), clock_text.size(), "%H:%M:%S", &local) == 0) {
    clock_text = {'?'};
  }
  uint32_t id = 0;
  uint32_t type = 0;
  uint32_t cid = 0;
  read_le32(request, length, kTransactionIdOffset, &id);
  read_le32(request, length, kMessageTypeOffset, &type);
  // Every request the tool sends is a command; anything else is named by
  // its type (and CID 0).
  const char* service = type == MBIM_COMMAND_MSG && read_le32(request, length, kCidOffset, &cid)
                            ? service_name_lookup(uuid_to_string(request + kServiceIdOffset))
                            : message_type_name(type);
  operator_line(LinePriority::kNotice,
                "tessel: the modem has not answered request %u (%s CID %u) for %u s; "
                "waiting until %s\n",
                id, service, cid, kWaitNoticeSeconds, clock_text.data());
}

}  // namespace tessel

// status.cpp — see status.h.
#include "mbim_format/status.h"

namespace tessel {
namespace {

constexpr int kNoChannelNumber = -19;      // -ENODEV
constexpr int kTimedOutNumber = 110;       // ETIMEDOUT
constexpr int kFunctionErrorNumber = 71;   // EPROTO: a function error without a code

}  // namespace

int legacy_result(const Status& s) {
  switch (s.code) {
    case Code::kOk:
      return 0;
    case Code::kNoChannel:
      return kNoChannelNumber;
    case Code::kTimedOut:
      return s.sys_errno != 0 ? s.sys_errno : kTimedOutNumber;
    case Code::kModemStatus:
      return static_cast<int>(s.mbim_status);
    case Code::kFunctionError:
      return s.mbim_status != 0 ? static_cast<int>(s.mbim_status) : kFunctionErrorNumber;
    case Code::kBadReply:
    case Code::kLockUnusable:
      return -2;
    case Code::kReadOverflow:
      return -4;
    case Code::kStopped:
      return -5;
    case Code::kTableChanged:
      return -6;
    default:
      return -1;
  }
}

}  // namespace tessel

// mbim_status.h — the MBIM Status a response carries, as a Status (status.h)
// and a log record.
//
// Which field holds it depends on the message type:
//   MBIM_OPEN_DONE, MBIM_CLOSE_DONE   Status at 12            status_names
//   MBIM_COMMAND_DONE                 Status at 40            status_names (21 named apart)
//   MBIM_FUNCTION_ERROR_MSG           ErrorStatusCode at 12   error_status_names
//   anything else                     none: 0, no record
// A non-zero value is logged by name (level 2) and returned as it came: a
// refused command's MBIM Status (2 for FAILURE) as Status::modem, a function
// error's ErrorStatusCode as Status::function_error. Values outside a table
// log an empty name.
#ifndef TESSEL_MBIM_FORMAT_MBIM_STATUS_H_
#define TESSEL_MBIM_FORMAT_MBIM_STATUS_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

constexpr uint32_t kStatusBusy = 1;
constexpr uint32_t kStatusInvalidParameters = 21;

constexpr std::array<const char*, 13> status_names = {
    "SUCCESS",                  // 0
    "BUSY",                     // 1
    "FAILURE",                  // 2
    "SIM_NOT_INSERTED",         // 3
    "BAD_SIM",                  // 4
    "PIN_REQUIRED",             // 5
    "PIN_DISABLED",             // 6
    "NOT_REGISTERED",           // 7
    "PROVIDERS_NOT_FOUND",      // 8
    "NO_DEVICE_SUPPORT",        // 9
    "PROVIDER_NOT_VISIBLE",     // 10
    "DATA_CLASS_NOT_AVAILABL",  // 11
    "PACKET_SERVICE_DETACHED",  // 12
};

constexpr std::array<const char*, 9> error_status_names = {
    "UNKNOW_0",                  // 0
    "TIMEOUT_FRAGMENT",          // 1
    "FRAGMENT_OUT_OF_SEQUENCE",  // 2
    "LENGTH_MISMATCH = 3",       // 3
    "DUPLICATED_TID",            // 4
    "NOT_OPENED",                // 5
    "UNKNOWN",                   // 6
    "CANCEL",                    // 7
    "MAX_TRANSFER",              // 8
};

// True when `response` (of `held` bytes) is long enough to hold the status
// field its type calls for; types without a status always are.
bool status_field_held(const uint8_t* response, size_t held);

// The status of a response of `held` bytes: ok for a zero field or a type
// without one. A status field that lies beyond the bytes held reads as 0;
// callers that must tell that case apart check status_field_held first.
Status decode_status(const uint8_t* response, size_t held);

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_MBIM_STATUS_H_

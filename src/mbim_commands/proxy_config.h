// proxy_config.h — naming the modem's device to mbim-proxy.
//
// The proxy forwards nothing for a client that has not named the device it
// means, so the service API sends this once per run on the proxy's abstract
// socket (GetIsMbimReady), before any other command. The request (proxy
// control service, CID 1, set) carries the device path as UTF-16LE; its
// layout is in mbim_format/device_payloads.h. Kept apart from the device
// commands (device_commands.h), which no flow of the tool runs, so that the
// tool links only what it sends.
#ifndef TESSEL_MBIM_COMMANDS_PROXY_CONFIG_H_
#define TESSEL_MBIM_COMMANDS_PROXY_CONFIG_H_

#include "mbim_format/status.h"

namespace tessel {

// Names `device_path` (null: the empty path) to the proxy. The exchange's
// failure, the proxy's refusal, or kBadArgument for a path too long to send.
Status mbim_proxy_config(const char* device_path);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_PROXY_CONFIG_H_

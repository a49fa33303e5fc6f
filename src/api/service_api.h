// service_api.h — the narrow set of calls through which the command line
// reaches the modem.
//
// Call order: Init, GetIsMbimReady, any command calls, UnInit (also after a
// failed Init or GetIsMbimReady). Every call that reaches the transport holds
// api_lock for the length of that one transport or protocol call, so only
// one call at a time reaches the modem, and logs the protocol result itself
// after releasing it. Every failure folds into -1; the layer below has
// already logged the details.
#ifndef TESSEL_API_SERVICE_API_H_
#define TESSEL_API_SERVICE_API_H_

#include <cstddef>
#include <cstdint>

namespace tessel {

// Longest device path Init keeps, terminator excluded.
constexpr size_t kMaxDevicePath = 31;

// Opens the log channel (a failure is reported on standard output and
// otherwise ignored), keeps `device` and sets the transport up with the
// verbose flag from VERBOSE (unset or beginning "0": quiet). -1 when the
// path is missing or longer than kMaxDevicePath, or the transport cannot be
// set up.
int Init(const char* device);

// Stops the reader, closes the channel and the log channel, prints "UnInit".
void UnInit();

// Opens the channel to the device given to Init; sets `*ready` to 1 on
// success only. Through the proxy's abstract socket it first names the
// device to the proxy, which forwards nothing for an unconfigured client.
int GetIsMbimReady(int* ready);

int SetSarEnable(int enable);
int GetSarEnable(int* enable);
int GetFileMd5(const char* path, uint8_t digest[16]);
int GetSarMd5(int item, uint8_t digest[16]);
int SetSarValue(const char* path, int item);
int GetSarValue(uint8_t* data, size_t capacity, uint16_t* length);
int ApplySarValue(int item);
int SendAtCommand(const char* command, const char** reply);

}  // namespace tessel

#endif  // TESSEL_API_SERVICE_API_H_

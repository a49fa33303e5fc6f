// service_and_cid.h — the two records that name the device service and the
// CID of a command, command-done or indication:
//
//   "[tessel] %s DeviceServiceId = %s (%s)"  direction, service name, UUID text
//   "[tessel] %s CID = %s (%u)"              direction, CID name, CID number
//
// A service no table row holds is named by its UUID text, so that text shows
// twice; a CID no row holds is "Unknow". The CID number is always the
// message's own. Both records are level 2, through msg_sprintf.
#ifndef TESSEL_MBIM_DUMP_SERVICE_AND_CID_H_
#define TESSEL_MBIM_DUMP_SERVICE_AND_CID_H_

#include <cstdint>

namespace tessel {

// Both records; `service_id` holds the 16 DeviceServiceId bytes.
void dump_service_and_cid(const uint8_t* service_id, uint32_t cid, const char* direction);

// The DeviceServiceId record alone, for a message that ends before its CID.
void dump_service(const uint8_t* service_id, const char* direction);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_SERVICE_AND_CID_H_

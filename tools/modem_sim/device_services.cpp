// device_services.cpp — basic connect DEVICE_SERVICES: the services and CIDs
// the modem answers. ModemManager asks it right after the open and gives up
// on a modem that lists nothing. The proxy control service is not listed:
// it belongs to libmbim's proxy, which never passes it on to a device.
#include <algorithm>
#include <array>

#include "byte_order/byte_order.h"
#include "mbim_format/mbim_message.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

// MBIM_DEVICE_SERVICES_INFO:
//   0  DeviceServicesCount    4  MaxDssSessions
//   8  DeviceServicesRefList: one (offset, length) pair per service, offsets
//      from the start of the InformationBuffer
// then each MBIM_DEVICE_SERVICE_ELEMENT, 4-byte aligned:
//   0  DeviceServiceId (16 bytes)   16  DssPayload   20  MaxDssInstances
//  24  CidCount                     28  CidList (CidCount words)
constexpr size_t kServicesCountOffset = 0;
constexpr size_t kMaxDssSessionsOffset = 4;
constexpr size_t kServicesRefListOffset = 8;
constexpr size_t kElementDssPayloadOffset = 16;
constexpr size_t kElementMaxDssInstancesOffset = 20;
constexpr size_t kElementCidCountOffset = 24;
constexpr size_t kElementCidListOffset = 28;

struct ServiceCids {
  const ServiceId* service;
  std::array<uint32_t, 6> cids;  // 0 ends the list
};

// What services.cpp routes and answers, service by service. No device
// service streams (DSS): DssPayload and MaxDssInstances are 0.
const ServiceCids kServed[] = {
    {&kServiceBasicConnect,
     {kCidDeviceCaps, kCidSubscriberReady, kCidRadioState, kCidPin, kCidDeviceServices,
      kCidSubscribeList}},
    {&kServiceQmbe, {kCidDiagOverMbimConfig, kCidTableDigest, kCidApply, kCidDiagPacket}},
    {&kServiceAtTunnel, {kCidAtCommand}},
    {&kServiceMsSarControl, {kCidMsSarConfiguration}},
};
constexpr size_t kServedCount = sizeof(kServed) / sizeof(kServed[0]);

}  // namespace

Answer answer_device_services(const CommandRequest& rq) {
  if (rq.command_type != kCommandQuery) return not_supported();
  Answer answer;
  std::vector<uint8_t>& info = answer.info;
  info.assign(kServicesRefListOffset + 8 * kServedCount, 0);
  put_le32(&info[kServicesCountOffset], static_cast<uint32_t>(kServedCount));
  put_le32(&info[kMaxDssSessionsOffset], 0);
  for (size_t i = 0; i < kServedCount; ++i) {
    uint32_t count = 0;
    while (count < kServed[i].cids.size() && kServed[i].cids[count] != 0) ++count;
    const size_t start = info.size();
    const size_t length = kElementCidListOffset + 4 * size_t{count};
    info.resize(start + length, 0);
    uint8_t* element = &info[start];
    std::copy(kServed[i].service->begin(), kServed[i].service->end(), element);
    put_le32(element + kElementDssPayloadOffset, 0);
    put_le32(element + kElementMaxDssInstancesOffset, 0);
    put_le32(element + kElementCidCountOffset, count);
    for (uint32_t c = 0; c < count; ++c) {
      put_le32(element + kElementCidListOffset + 4 * c, kServed[i].cids[c]);
    }
    put_le32(&info[kServicesRefListOffset + 8 * i], static_cast<uint32_t>(start));
    put_le32(&info[kServicesRefListOffset + 8 * i + 4], static_cast<uint32_t>(length));
  }
  return answer;
}

}  // namespace tessel::sim

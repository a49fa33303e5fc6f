// device_services.cpp — basic connect DEVICE_SERVICES: the services and CIDs
// the modem answers. ModemManager asks it right after the open and gives up
// on a modem that lists nothing. The proxy control service is not listed:
// it belongs to libmbim's proxy, which never passes it on to a device.
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
// The answer is written field by field in this order; only the pairs of the
// reference list are filled in afterwards, once each element's place is known.
constexpr size_t kServicesRefListOffset = 8;

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

void append_le32(std::vector<uint8_t>* out, uint32_t v) {
  out->resize(out->size() + 4);
  put_le32(out->data() + out->size() - 4, v);
}

}  // namespace

Answer answer_device_services(const CommandRequest& rq) {
  if (rq.command_type != kCommandQuery) return not_supported();
  Answer answer;
  std::vector<uint8_t>& info = answer.info;
  append_le32(&info, static_cast<uint32_t>(kServedCount));  // DeviceServicesCount
  append_le32(&info, 0);                                     // MaxDssSessions
  info.resize(kServicesRefListOffset + 8 * kServedCount);    // DeviceServicesRefList
  for (size_t i = 0; i < kServedCount; ++i) {
    const ServiceCids& served = kServed[i];
    const size_t start = info.size();
    info.insert(info.end(), served.service->begin(), served.service->end());  // DeviceServiceId
    append_le32(&info, 0);  // DssPayload
    append_le32(&info, 0);  // MaxDssInstances
    uint32_t count = 0;
    while (count < served.cids.size() && served.cids[count] != 0) ++count;
    append_le32(&info, count);  // CidCount
    for (uint32_t c = 0; c < count; ++c) append_le32(&info, served.cids[c]);  // CidList
    put_le32(&info[kServicesRefListOffset + 8 * i], static_cast<uint32_t>(start));
    put_le32(&info[kServicesRefListOffset + 8 * i + 4], static_cast<uint32_t>(info.size() - start));
  }
  return answer;
}

}  // namespace tessel::sim

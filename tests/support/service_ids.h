// service_ids.h — the DeviceServiceId bytes of the services the tool talks
// to, as they travel (the order of each UUID's text form).
//
// Written out here byte by byte, never taken from the tool's own constants:
// a test comparing what the tool sent with these catches a wrong constant
// in the tool instead of repeating it.
#ifndef TESSEL_TESTS_SUPPORT_SERVICE_IDS_H_
#define TESSEL_TESTS_SUPPORT_SERVICE_IDS_H_

#include <cstdint>
#include <vector>

namespace service_ids {

// a289cc33-bcbb-8b4f-b6b0-133ec2aae6df
inline const std::vector<uint8_t> kBasicConnect = {0xa2, 0x89, 0xcc, 0x33, 0xbc, 0xbb, 0x8b, 0x4f,
                                                   0xb6, 0xb0, 0x13, 0x3e, 0xc2, 0xaa, 0xe6, 0xdf};
// 2d0c12c9-0e6a-495a-915c-8d174fe5d63c: the vendor's QMBE (DIAG over MBIM, SAR digest)
inline const std::vector<uint8_t> kQmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                                           0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
// 6427015f-579d-48f5-8c54-f43ed1e76f83: the AT tunnel
inline const std::vector<uint8_t> kAtTunnel = {0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,
                                               0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83};
// 838cf7fb-8d0d-4d7f-871e-d71dbefbb39b: libmbim's proxy control
inline const std::vector<uint8_t> kProxyControl = {0x83, 0x8c, 0xf7, 0xfb, 0x8d, 0x0d, 0x4d, 0x7f,
                                                   0x87, 0x1e, 0xd7, 0x1d, 0xbe, 0xfb, 0xb3, 0x9b};

}  // namespace service_ids

#endif  // TESSEL_TESTS_SUPPORT_SERVICE_IDS_H_

// services.h — the modem's answers to MBIM commands, by service and CID.
//
// Services played: basic connect (device caps, subscriber ready status, radio
// state, PIN, device services, subscribe list),
// the vendor QMBE service (DIAG-over-MBIM switch, table digest, apply, DIAG
// packets), the AT tunnel, libmbim proxy control and MS SAR control. Any
// other service or CID is answered Status 9, NO_DEVICE_SUPPORT, as is a
// query to a CID that only takes sets (and the other way round). A request
// whose InformationBuffer does not have the layout its CID needs is answered
// Status 2, FAILURE, with a note on stderr saying what was wrong.
#ifndef TESSEL_TOOLS_MODEM_SIM_SERVICES_H_
#define TESSEL_TOOLS_MODEM_SIM_SERVICES_H_

#include "modem_sim/mbim_messages.h"
#include "modem_sim/sim_state.h"

namespace tessel::sim {

// Service UUIDs, bytes in the order of the text form's hex pairs.
// a289cc33-bcbb-8b4f-b6b0-133ec2aae6df
constexpr ServiceId kServiceBasicConnect = {0xa2, 0x89, 0xcc, 0x33, 0xbc, 0xbb, 0x8b, 0x4f,
                                            0xb6, 0xb0, 0x13, 0x3e, 0xc2, 0xaa, 0xe6, 0xdf};
// 2d0c12c9-0e6a-495a-915c-8d174fe5d63c
constexpr ServiceId kServiceQmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                                    0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
// 6427015f-579d-48f5-8c54-f43ed1e76f83
constexpr ServiceId kServiceAtTunnel = {0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,
                                        0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83};
// 838cf7fb-8d0d-4d7f-871e-d71dbefbb39b
constexpr ServiceId kServiceProxyControl = {0x83, 0x8c, 0xf7, 0xfb, 0x8d, 0x0d, 0x4d, 0x7f,
                                            0x87, 0x1e, 0xd7, 0x1d, 0xbe, 0xfb, 0xb3, 0x9b};
// 68223d04-9f6c-4e0f-822d-28441fb72340
constexpr ServiceId kServiceMsSarControl = {0x68, 0x22, 0x3d, 0x04, 0x9f, 0x6c, 0x4e, 0x0f,
                                            0x82, 0x2d, 0x28, 0x44, 0x1f, 0xb7, 0x23, 0x40};

// CIDs the simulator plays, by service. A knob names the bare number, so
// the same number in two services is the same knob.
constexpr uint32_t kCidDeviceCaps = 1;       // basic connect
constexpr uint32_t kCidSubscriberReady = 2;  // basic connect
constexpr uint32_t kCidRadioState = 3;       // basic connect
constexpr uint32_t kCidPin = 4;              // basic connect
constexpr uint32_t kCidSignalState = 11;     // basic connect, indications only
constexpr uint32_t kCidDeviceServices = 16;  // basic connect
constexpr uint32_t kCidSubscribeList = 19;   // basic connect
constexpr uint32_t kCidDiagOverMbimConfig = 21;  // QMBE
constexpr uint32_t kCidTableDigest = 22;     // QMBE
constexpr uint32_t kCidApply = 23;           // QMBE
constexpr uint32_t kCidDiagPacket = 25;      // QMBE
constexpr uint32_t kCidAtCommand = 8;        // AT tunnel
constexpr uint32_t kCidProxyConfiguration = 1;  // proxy control
constexpr uint32_t kCidMsSarConfiguration = 1;  // MS SAR control

// AT tunnel request and answer: a leading 32-bit word (0), then the text.
constexpr size_t kAtLeadingWordSize = 4;

// The answer to one well-formed command; may change `*state`.
Answer answer_command(SimState* state, const CommandRequest& request);

// Per-service answers (basic_connect.cpp, sar_service.cpp).
Answer answer_basic_connect(SimState* state, const CommandRequest& request);
Answer answer_qmbe(SimState* state, const CommandRequest& request);

// Basic connect DEVICE_SERVICES (device_services.cpp): every service and CID
// the simulator answers, the list ModemManager reads before anything else.
Answer answer_device_services(const CommandRequest& request);

// Loads --table-in, when given, as the stored table of --item. Returns 0, or
// -1 (with a note) when the file cannot be read whole.
int preload_table(SimState* state);

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_SERVICES_H_

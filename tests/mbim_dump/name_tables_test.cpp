// name_tables_test.cpp — service and CID names, and the names of
// enumerated values, quirks included.
#include <string>

#include "dump_test_util.h"
#include "mbim_dump/name_tables.h"
#include "mbim_dump/service_and_cid.h"
#include "mbim_dump/value_names.h"

namespace tessel {
namespace {

using namespace dump_test;

// The service bytes, as they travel.
const Bytes kSar = service_bytes(kUuidMsSarControl);
const Bytes kProxy = service_bytes(kUuidProxyControl);
const Bytes kUnknown = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                        0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
const Bytes kVoice = {0x8d, 0x8b, 0x9e, 0xba, 0x37, 0xbe, 0x44, 0x9b,
                      0x8f, 0x1e, 0x61, 0xcb, 0x03, 0x4a, 0x70, 0x2e};

TEST(ServiceAndCid, ServicesMatchWhateverTheCaseAndOnlyTheirOwnCidsAreNamed) {
  struct Case {
    const Bytes* service;
    uint32_t cid;
    const char* service_record;
    const char* cid_record;
  };
  const char* qmbe = "[tessel] < DeviceServiceId = uuid_qmbe (2d0c12c9-0e6a-495a-915c-8d174fe5d63c)";
  const char* proxy =
      "[tessel] < DeviceServiceId = UUID_LIBMBIM_PROXY (838cf7fb-8d0d-4d7f-871e-d71dbefbb39b)";
  const Case cases[] = {
      // The SAR-control row is upper case in the table; its CIDs are not named.
      {&kSar, 1,
       "[tessel] < DeviceServiceId = UUID_MS_SARControl (68223d04-9f6c-4e0f-822d-28441fb72340)",
       "[tessel] < CID = Unknow (1)"},
      {&kQmbe, 21, qmbe, "[tessel] < CID = VELKOR_QBI_SVC_QMBE_MBIM_CID_DIAG_OVER_MBIM_CFG (21)"},
      {&kQmbe, 23, qmbe, "[tessel] < CID = Unknow (23)"},
      {&kQmbe, 25, qmbe, "[tessel] < CID = Unknow (25)"},
      {&kQmbe, 2, qmbe, "[tessel] < CID = QBI_SVC_QMBE_MBIM_CID_DIAG_DATA (2)"},
      // An unknown service shows its UUID text, in stored order and lower case, twice.
      {&kUnknown, 3,
       "[tessel] < DeviceServiceId = 00112233-4455-6677-8899-aabbccddeeff "
       "(00112233-4455-6677-8899-aabbccddeeff)",
       "[tessel] < CID = Unknow (3)"},
      {&kProxy, 1, proxy, "[tessel] < CID = MBIM_CID_PROXY_CONTROL_CONFIGURATION (1)"},
      {&kProxy, 0, proxy, "[tessel] < CID = MBIM_CID_PROXY_CONTROL_UNKNOWN (0)"},  // CID 0 named
      {&kVoice, 1,
       "[tessel] < DeviceServiceId = UUID_VOICEEXTENSIONS (8d8b9eba-37be-449b-8f1e-61cb034a702e)",
       "[tessel] < CID = Unknow (1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cid_record);
    capture_log::clear();
    const Bytes exact = exact_copy(*c.service);
    dump_service_and_cid(exact.data(), c.cid, "<");
    EXPECT_EQ(texts(), (std::vector<std::string>{c.service_record, c.cid_record}));
  }
}

TEST(CidNameLookup, KeepsTheCutAndSpacedNamesAndSkipsTheGaps) {
  const char* basic = "a289cc33-bcbb-8b4f-b6b0-133ec2aae6df";
  const char* ext = "3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf";
  EXPECT_STREQ(cid_name_lookup(basic, 5), "MBIM_CID_PIN_LIS");
  EXPECT_STREQ(cid_name_lookup(basic, 16), "MBIM_CID_DEVICE_SERVICES");
  EXPECT_STREQ(cid_name_lookup(basic, 17), "Unknow");
  EXPECT_STREQ(cid_name_lookup(basic, 19), "MBIM_CID_DEVICE_SERVICE_SUBSCRIBE_LIST");
  EXPECT_STREQ(cid_name_lookup(basic, 24), "MBIM_CID_MULTICARRIER_PROVIDERS");
  EXPECT_STREQ(cid_name_lookup(basic, 25), "Unknow");
  EXPECT_STREQ(cid_name_lookup(basic, 0), "Unknow");
  EXPECT_STREQ(cid_name_lookup(ext, 6), "MBIM_     CID_MS_DEVICE_CAPS_V2");
  EXPECT_STREQ(cid_name_lookup(ext, 15), "MBIM_CID_MS_VERSION");
  // CID texts match exactly; services match whatever the letter case.
  EXPECT_STREQ(cid_name_lookup("A289CC33-BCBB-8B4F-B6B0-133EC2AAE6DF", 1), "Unknow");
  EXPECT_STREQ(service_name_lookup("A289CC33-BCBB-8B4F-B6B0-133EC2AAE6DF"), "UUID_BASIC_CONNECT");
  EXPECT_STREQ(message_type_name(0x80000000), "MBIMMSGTypeUnknow");
}

TEST(ValueNames, StatesOutsideTheirTablesAreUndefined) {
  EXPECT_STREQ(ready_state_name(6), "DeviceLocked");
  EXPECT_STREQ(ready_state_name(7), "Undefined");
  EXPECT_STREQ(register_state_name(6), "Denied");
  EXPECT_STREQ(register_state_name(7), "Undefined");
  EXPECT_STREQ(packet_service_state_name(4), "Detached");
  EXPECT_STREQ(packet_service_state_name(5), "Undefined");
  EXPECT_STREQ(activation_state_name(4), "Deactivating");
  EXPECT_STREQ(activation_state_name(5), "Undefined");
  EXPECT_STREQ(activation_state_name(0xFFFFFFFF), "Undefined");
  EXPECT_STREQ(ip_type_name(4), "MBIMContextIPTypeIPv4AndIPv6");
  EXPECT_STREQ(ip_type_name(5), "MBIMContextIPTypeUnknow");
}

TEST(ValueNames, RegisterModeAndVoiceCallStateFallThroughToTheirLastRow) {
  EXPECT_STREQ(register_mode_name(0), "Unknown");
  EXPECT_STREQ(register_mode_name(1), "Automatic");
  EXPECT_STREQ(voice_call_state_name(0), "None");
  EXPECT_STREQ(voice_call_state_name(1), "InProgress");
  for (uint32_t v : {2u, 3u, 0xFFFFFFFFu}) {
    EXPECT_STREQ(register_mode_name(v), "Manual") << v;
    EXPECT_STREQ(voice_call_state_name(v), "HangUp") << v;
  }
}

TEST(ValueNames, DataClassNamesOneBitAndNothingElse) {
  EXPECT_STREQ(data_class_name(0), "None");
  EXPECT_STREQ(data_class_name(0x20), "LTE");
  EXPECT_STREQ(data_class_name(0x80), "5G_SA");
  EXPECT_STREQ(data_class_name(0x400000), "UMB");
  EXPECT_STREQ(data_class_name(0x80000000), "Custom");
  EXPECT_STREQ(data_class_name(0x60), "Unknow");
  EXPECT_STREQ(data_class_name(0x80000020), "Unknow");
  EXPECT_STREQ(data_class_name(0x100), "Unknow");
}

}  // namespace
}  // namespace tessel

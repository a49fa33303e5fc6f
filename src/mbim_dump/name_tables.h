// name_tables.h — the names the dump gives to message types, device
// services and CIDs.
//
// The rows are held here exactly as the log shows them, quirks included: the
// cut "MBIM_CID_PIN_LIS", the two basic-connect-extension names with a run of
// five spaces, and the SAR-control service written in upper case. Services
// are matched without regard to letter case (so that upper-case row matches
// the lower-case text uuid_to_string gives); CIDs are matched on the exact
// lower-case UUID text. Tables are scanned from the first row; the first
// match wins.
#ifndef TESSEL_MBIM_DUMP_NAME_TABLES_H_
#define TESSEL_MBIM_DUMP_NAME_TABLES_H_

#include <array>
#include <cstdint>

#include "mbim_dump/value_names.h"

namespace tessel {

struct ServiceName {
  const char* uuid;
  const char* name;
};

struct CidName {
  const char* uuid;
  uint32_t cid;
  const char* name;
};

inline constexpr std::array<ValueName, 9> message_type_names = {{
    {0x00000001, "MBIM_OPEN_MSG"},
    {0x00000002, "MBIM_CLOSE_MSG"},
    {0x00000003, "MBIM_COMMAND_MSG"},
    {0x00000004, "MBIM_HOST_ERROR_MSG"},
    {0x80000001, "MBIM_OPEN_DONE"},
    {0x80000002, "MBIM_CLOSE_DONE"},
    {0x80000003, "MBIM_COMMAND_DONE"},
    {0x80000004, "MBIM_FUNCTION_ERROR_MSG"},
    {0x80000007, "MBIM_INDICATE_STATUS_MSG"},
}};

inline constexpr std::array<ServiceName, 18> service_names = {{
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", "UUID_BASIC_CONNECT"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", "UUID_BASIC_CONNECT_EXT"},
    {"533fbeeb-14fe-4467-9f90-33a223e56c3f", "UUID_SMS"},
    {"e550a0c8-5e82-479e-82f7-10abf4c3351f", "UUID_USSD"},
    {"4bf38476-1e6a-41db-b1d8-bed289c25bdb", "UUID_PHONEBOOK"},
    {"d8f20131-fcb5-4e17-8602-d6ed3816164c", "UUID_STK"},
    {"1d2b5ff7-0aa1-48b2-aa52-50f15767174e", "UUID_AUTH"},
    {"c08a26dd-7718-4382-8482-6e0d583c4d0e", "UUID_DSS"},
    {"d1a30bc2-f97a-6e43-bf65-c7e24fb0f0d3", "uuid_ext_qmux"},
    {"883b7c26-985f-43fa-9804-27d7fb80959c", "uuid_mshsd"},
    {"2d0c12c9-0e6a-495a-915c-8d174fe5d63c", "uuid_qmbe"},
    {"e9f7dea2-feaf-4009-93ce-90a3694103b6", "UUID_MSFWID"},
    {"5967bdcc-7fd2-49a2-9f5c-b2e70e527db3", "uuid_atds"},
    // The AT tunnel's service (kUuidAtds in mbim_format/uuid.h): dumps have
    // always named it uuid_qdu, while "uuid_atds" is 5967bdcc's row above.
    // Debug logs taken on devices are read against these names, so both stay.
    {"6427015f-579d-48f5-8c54-f43ed1e76f83", "uuid_qdu"},
    {"c2f6588e-f037-4bc9-8665-f4d44bd09367", "UUID_MS_UICC_LOW_LEVEL"},
    {"68223D04-9F6C-4E0F-822D-28441FB72340", "UUID_MS_SARControl"},
    {"8d8b9eba-37be-449b-8f1e-61cb034a702e", "UUID_VOICEEXTENSIONS"},
    {"838cf7fb-8d0d-4d7f-871e-d71dbefbb39b", "UUID_LIBMBIM_PROXY"},
}};

inline constexpr std::array<CidName, 42> cid_names = {{
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 1, "MBIM_CID_DEVICE_CAPS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 2, "MBIM_CID_SUBSCRIBER_READY_STATUS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 3, "MBIM_CID_RADIO_STATE"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 4, "MBIM_CID_PIN"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 5, "MBIM_CID_PIN_LIS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 6, "MBIM_CID_HOME_PROVIDER"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 7, "MBIM_CID_PREFERRED_PROVIDERS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 8, "MBIM_CID_VISIBLE_PROVIDERS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 9, "MBIM_CID_REGISTER_STATE"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 10, "MBIM_CID_PACKET_SERVICE"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 11, "MBIM_CID_SIGNAL_STATE"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 12, "MBIM_CID_CONNECT"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 13, "MBIM_CID_PROVISIONED_CONTEXTS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 14, "MBIM_CID_SERVICE_ACTIVATION"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 15, "MBIM_CID_IP_CONFIGURATION"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 16, "MBIM_CID_DEVICE_SERVICES"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 19, "MBIM_CID_DEVICE_SERVICE_SUBSCRIBE_LIST"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 20, "MBIM_CID_PACKET_STATISTICS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 21, "MBIM_CID_NETWORK_IDLE_HINT"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 22, "MBIM_CID_EMERGENCY_MODE"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 23, "MBIM_CID_IP_PACKET_FILTERS"},
    {"a289cc33-bcbb-8b4f-b6b0-133ec2aae6df", 24, "MBIM_CID_MULTICARRIER_PROVIDERS"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 1, "MBIM_CID_MS_PROVISIONED_CONTEXT_V2"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 2, "MBIM_CID_MS_NETWORK_BLACKL     IST"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 3, "MBIM_CID_MS_LTE_ATTACH_CONFIG"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 4, "MBIM_CID_MS_LTE_ATTACH_STATUS"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 5, "MBIM_CID_MS_SYS_CAPS"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 6, "MBIM_     CID_MS_DEVICE_CAPS_V2"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 7, "MBIM_CID_MS_DEVICE_SLOT_MAPPING"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 8, "MBIM_CID_MS_SLOT_INFO_STATUS"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 9, "MBIM_CID_MS_PCO"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 10, "MBIM_CID_MS_DEVICE_RESET"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 11, "MBIM_CID_MS_BASE_STATIONS_INFO"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 12, "MBIM_CID_MS_LOCATION_INFO_STATUS"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 13, "MBIM_CID_NOT_DEFINED"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 14, "MBIM_CID_MS_PIN_EX"},
    {"3d01dcc5-fef5-4d05-0d3a-bef7058e9aaf", 15, "MBIM_CID_MS_VERSION"},
    {"838cf7fb-8d0d-4d7f-871e-d71dbefbb39b", 0, "MBIM_CID_PROXY_CONTROL_UNKNOWN"},
    {"838cf7fb-8d0d-4d7f-871e-d71dbefbb39b", 1, "MBIM_CID_PROXY_CONTROL_CONFIGURATION"},
    {"2d0c12c9-0e6a-495a-915c-8d174fe5d63c", 1, "QBI_SVC_QMBE_MBIM_CID_DIAG_CONFIG"},
    {"2d0c12c9-0e6a-495a-915c-8d174fe5d63c", 2, "QBI_SVC_QMBE_MBIM_CID_DIAG_DATA"},
    {"2d0c12c9-0e6a-495a-915c-8d174fe5d63c", 21,
     "VELKOR_QBI_SVC_QMBE_MBIM_CID_DIAG_OVER_MBIM_CFG"},
}};

// The name of a MessageType, or "MBIMMSGTypeUnknow".
const char* message_type_name(uint32_t type);

// The name of the service whose UUID text (any letter case) is given, or
// `uuid_text` itself when no row holds it.
const char* service_name_lookup(const char* uuid_text);

// The name of `cid` within the service whose lower-case UUID text is given,
// or "Unknow". The result is constant text.
const char* cid_name_lookup(const char* uuid_text, uint32_t cid);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_NAME_TABLES_H_

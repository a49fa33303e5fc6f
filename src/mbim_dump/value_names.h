// value_names.h — names of the enumerated values inside basic-connect
// information buffers, as the dump prints them.
//
// Each table is a list of (value, name) rows scanned from the first row. A
// value no row holds gets a fixed text, which differs from table to table:
//   ready, register and packet-service states, activation state  "Undefined"
//   data class (one bit per row, so several bits set match none)  "Unknow"
//   IP type                                    "MBIMContextIPTypeUnknow"
// Register mode and voice-call state name 0 and 1 by their rows and give every
// other value the last row ("Manual", "HangUp").
#ifndef TESSEL_MBIM_DUMP_VALUE_NAMES_H_
#define TESSEL_MBIM_DUMP_VALUE_NAMES_H_

#include <array>
#include <cstddef>
#include <cstdint>

namespace tessel {

struct ValueName {
  uint32_t value;
  const char* name;
};

// The name of the first row holding `value`, or `missing`.
template <size_t N>
const char* value_name_or(const std::array<ValueName, N>& table, uint32_t value,
                          const char* missing) {
  for (const ValueName& row : table) {
    if (row.value == value) return row.name;
  }
  return missing;
}

inline constexpr std::array<ValueName, 7> ready_state_names = {{
    {0, "NotInitialized"},
    {1, "Initialized"},
    {2, "NotInserted"},
    {3, "BadSim"},
    {4, "Failure"},
    {5, "NotActivated"},
    {6, "DeviceLocked"},
}};

inline constexpr std::array<ValueName, 7> register_state_names = {{
    {0, "Unknown"},
    {1, "Deregistered"},
    {2, "Searching"},
    {3, "Home"},
    {4, "Roaming"},
    {5, "Partner"},
    {6, "Denied"},
}};

inline constexpr std::array<ValueName, 3> register_mode_names = {{
    {0, "Unknown"},
    {1, "Automatic"},
    {2, "Manual"},
}};

inline constexpr std::array<ValueName, 5> packet_service_state_names = {{
    {0, "Unknown"},
    {1, "Attaching"},
    {2, "Attached"},
    {3, "Detaching"},
    {4, "Detached"},
}};

inline constexpr std::array<ValueName, 17> data_class_names = {{
    {0x0, "None"},
    {0x1, "GPRS"},
    {0x2, "EDGE"},
    {0x4, "UMTS"},
    {0x8, "HSDPA"},
    {0x10, "HSUPA"},
    {0x20, "LTE"},
    {0x40, "5G_NSA"},
    {0x80, "5G_SA"},
    {0x10000, "1XRTT"},
    {0x20000, "1XEVDO"},
    {0x40000, "1XEVDORevA"},
    {0x80000, "1XEVDV"},
    {0x100000, "3XRTT"},
    {0x200000, "1XEVDORevB"},
    {0x400000, "UMB"},
    {0x80000000, "Custom"},
}};

inline constexpr std::array<ValueName, 5> activation_state_names = {{
    {0, "Unknown"},
    {1, "Activated"},
    {2, "Activating"},
    {3, "Deactivated"},
    {4, "Deactivating"},
}};

inline constexpr std::array<ValueName, 5> ip_type_names = {{
    {0, "MBIMContextIPTypeDefault"},
    {1, "MBIMContextIPTypeIPv4"},
    {2, "MBIMContextIPTypeIPv6"},
    {3, "MBIMContextIPTypeIPv4v6"},
    {4, "MBIMContextIPTypeIPv4AndIPv6"},
}};

inline constexpr std::array<ValueName, 3> voice_call_state_names = {{
    {0, "None"},
    {1, "InProgress"},
    {2, "HangUp"},
}};

const char* ready_state_name(uint32_t value);
const char* register_state_name(uint32_t value);
const char* register_mode_name(uint32_t value);
const char* packet_service_state_name(uint32_t value);
const char* data_class_name(uint32_t value);
const char* activation_state_name(uint32_t value);
const char* ip_type_name(uint32_t value);
const char* voice_call_state_name(uint32_t value);

}  // namespace tessel

#endif  // TESSEL_MBIM_DUMP_VALUE_NAMES_H_

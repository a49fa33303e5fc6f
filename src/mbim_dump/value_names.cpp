// value_names.cpp — see value_names.h.
#include "mbim_dump/value_names.h"

#include <cstddef>

namespace tessel {
namespace {

// Every row but the last by its value; anything else is the last row.
template <size_t N>
const char* exact_or_last(const std::array<ValueName, N>& table, uint32_t value) {
  for (size_t i = 0; i + 1 < N; ++i) {
    if (table[i].value == value) return table[i].name;
  }
  return table[N - 1].name;
}

}  // namespace

const char* ready_state_name(uint32_t value) {
  return value_name_or(ready_state_names, value, "Undefined");
}

const char* register_state_name(uint32_t value) {
  return value_name_or(register_state_names, value, "Undefined");
}

const char* register_mode_name(uint32_t value) { return exact_or_last(register_mode_names, value); }

const char* packet_service_state_name(uint32_t value) {
  return value_name_or(packet_service_state_names, value, "Undefined");
}

const char* data_class_name(uint32_t value) {
  return value_name_or(data_class_names, value, "Unknow");
}

const char* activation_state_name(uint32_t value) {
  return value_name_or(activation_state_names, value, "Undefined");
}

const char* ip_type_name(uint32_t value) {
  return value_name_or(ip_type_names, value, "MBIMContextIPTypeUnknow");
}

const char* voice_call_state_name(uint32_t value) {
  return exact_or_last(voice_call_state_names, value);
}

}  // namespace tessel

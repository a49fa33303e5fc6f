// usb_descriptors.cpp — the string descriptors.
#include "modem_sim/usb_descriptors.h"

namespace tessel::sim {
namespace {

// By index; 0 is the language list, built apart.
constexpr const char* kStrings[] = {
    nullptr,
    "tessel",                  // 1 iManufacturer
    "tessel-modem-sim MBIM",   // 2 iProduct
    "0123456789",              // 3 iSerialNumber: the same after every re-plug
    "MBIM",                    // 4 the control interface
};
constexpr uint16_t kLanguageUsEnglish = 0x0409;

}  // namespace

std::vector<uint8_t> string_descriptor(uint8_t index) {
  if (index == 0) {
    return {4, kDescriptorString, kLanguageUsEnglish & 0xFF, kLanguageUsEnglish >> 8};
  }
  if (index >= sizeof(kStrings) / sizeof(kStrings[0])) return {};
  std::vector<uint8_t> d = {0, kDescriptorString};
  for (const char* c = kStrings[index]; *c != '\0'; ++c) {
    d.push_back(static_cast<uint8_t>(*c));
    d.push_back(0);
  }
  d[0] = static_cast<uint8_t>(d.size());  // bLength; every string here is short
  return d;
}

}  // namespace tessel::sim

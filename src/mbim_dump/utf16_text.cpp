// utf16_text.cpp — see utf16_text.h.
#include "mbim_dump/utf16_text.h"

#include <algorithm>
#include <array>

#include "byte_order/byte_order.h"

namespace tessel {
namespace {

std::array<char, kTextSize> g_text;

}  // namespace

const char* utf16_to_text(const uint8_t* info, size_t info_len, uint32_t offset, uint32_t size) {
  if (!field_inside(info_len, offset, size)) return nullptr;
  const size_t chars = std::min<size_t>(size / 2, kTextSize - 1);
  const uint8_t* units = info + offset;
  for (size_t j = 0; j < chars; ++j) g_text[j] = static_cast<char>(units[2 * j]);
  g_text[chars] = '\0';
  return g_text.data();
}

}  // namespace tessel

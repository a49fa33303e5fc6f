// ip_configuration.cpp — the IP configuration decoder (basic-connect CID 15).
//
// Only the first address element of each family is shown, whatever the
// address counts say; a second DNS server only when its count is exactly 2.
// The MTU records depend on the MTU alone, not on the availability flags.
// Every address is read at an offset the modem gives, so each is checked to
// lie wholly inside the buffer first (rules in info_decoders.h).
#include "diag_log/diag_log.h"
#include "mbim_dump/bounded.h"
#include "mbim_dump/info_decoders.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE("src/mbim_dump");

namespace tessel {
namespace {

// IP configuration information:
//   0  SessionId              4  IPv4ConfigurationAvailable   8  IPv6ConfigurationAvailable
//  12  IPv4AddressCount      16  IPv4AddressOffset           20  IPv6AddressCount
//  24  IPv6AddressOffset     28  IPv4GatewayOffset           32  IPv6GatewayOffset
//  36  IPv4DnsServerCount    40  IPv4DnsServerOffset         44  IPv6DnsServerCount
//  48  IPv6DnsServerOffset   52  IPv4Mtu                     56  IPv6Mtu
constexpr size_t kSessionIdOffset = 0;
constexpr size_t kIpv4AvailableOffset = 4;
constexpr size_t kIpv6AvailableOffset = 8;
constexpr size_t kIpv4AddressCountOffset = 12;
constexpr size_t kIpv4AddressOffsetOffset = 16;
constexpr size_t kIpv6AddressCountOffset = 20;
constexpr size_t kIpv6AddressOffsetOffset = 24;
constexpr size_t kIpv4GatewayOffsetOffset = 28;
constexpr size_t kIpv6GatewayOffsetOffset = 32;
constexpr size_t kIpv4DnsCountOffset = 36;
constexpr size_t kIpv4DnsOffsetOffset = 40;
constexpr size_t kIpv6DnsCountOffset = 44;
constexpr size_t kIpv6DnsOffsetOffset = 48;
constexpr size_t kIpv4MtuOffset = 52;
constexpr size_t kIpv6MtuOffset = 56;

// Availability flags.
constexpr uint32_t kAddressAvailable = 1;
constexpr uint32_t kGatewayAvailable = 2;
constexpr uint32_t kDnsAvailable = 4;

// An address element: OnLinkPrefixLength (u32), then the address bytes.
constexpr size_t kPrefixLengthSize = 4;
constexpr size_t kIpv4Size = 4;
constexpr size_t kIpv6Size = 16;

// The `width` bytes at the offset stored in the word at `offset_field`, or
// nullptr when the word or the bytes lie outside.
const uint8_t* bytes_at(const Bounded& b, size_t offset_field, size_t width) {
  uint32_t offset = 0;
  if (!b.word(offset_field, &offset)) return nullptr;
  if (!b.inside(offset, width)) return nullptr;
  return b.bytes + offset;
}

// The availability word, or 0 (nothing available) when it lies outside.
uint32_t flags_at(const Bounded& b, size_t offset) {
  uint32_t flags = 0;
  return b.word(offset, &flags) ? flags : 0;
}

bool count_is_two(const Bounded& b, size_t offset) {
  uint32_t count = 0;
  return b.word(offset, &count) && count == 2;
}

// One IPv6 address as two records of eight bytes: the first ends in a colon,
// the second does not. Groups are never compressed.
void log_ipv6(const uint8_t* a) {
  LOG_NUM(LOG_NORMAL, "[tessel] %02x%02x:%02x%02x:%02x%02x:%02x%02x:", a[0], a[1], a[2], a[3],
          a[4], a[5], a[6], a[7]);
  LOG_NUM(LOG_NORMAL, "[tessel] %02x%02x:%02x%02x:%02x%02x:%02x%02x", a[8], a[9], a[10], a[11],
          a[12], a[13], a[14], a[15]);
}

void dump_ipv4(const Bounded& b, const char* direction) {
  const uint32_t flags = flags_at(b, kIpv4AvailableOffset);
  if ((flags & kAddressAvailable) != 0) {
    if (const uint8_t* e = bytes_at(b, kIpv4AddressOffsetOffset, kPrefixLengthSize + kIpv4Size)) {
      const uint8_t* a = e + kPrefixLengthSize;
      LOG_TXT(LOG_NORMAL, "[tessel] %s ", direction);
      LOG_NUM(LOG_NORMAL, "[tessel] IPv4 = %u.%u.%u.%u/%u", a[0], a[1], a[2], a[3],
              get_le32(e) & 0xFF);
    }
  }
  if ((flags & kGatewayAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv4GatewayOffsetOffset, kIpv4Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
      LOG_NUM(LOG_NORMAL, "[tessel] gw = %u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    }
  }
  if ((flags & kDnsAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv4DnsOffsetOffset, kIpv4Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
      LOG_NUM(LOG_NORMAL, "[tessel] dns1 = %u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    }
    if (count_is_two(b, kIpv4DnsCountOffset)) {
      if (const uint8_t* a = bytes_at(b, kIpv4DnsOffsetOffset, 2 * kIpv4Size)) {
        LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
        LOG_NUM(LOG_NORMAL, "[tessel] dns2 = %u.%u.%u.%u", a[4], a[5], a[6], a[7]);
      }
    }
  }
  uint32_t mtu = 0;
  if (b.word(kIpv4MtuOffset, &mtu) && mtu != 0) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
    LOG_NUM(LOG_NORMAL, "[tessel] ipv4 mtu = %u", mtu);
  }
}

void dump_ipv6(const Bounded& b, const char* direction) {
  const uint32_t flags = flags_at(b, kIpv6AvailableOffset);
  if ((flags & kAddressAvailable) != 0) {
    if (const uint8_t* e = bytes_at(b, kIpv6AddressOffsetOffset, kPrefixLengthSize + kIpv6Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] direction:%s IPv6: ", direction);
      log_ipv6(e + kPrefixLengthSize);
      LOG_NUM(LOG_NORMAL, "[tessel] prfix:%d", get_le32(e) & 0xFF);
    }
  }
  if ((flags & kGatewayAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv6GatewayOffsetOffset, kIpv6Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] direction:%s Gateway: ", direction);
      log_ipv6(a);
    }
  }
  if ((flags & kDnsAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv6DnsOffsetOffset, kIpv6Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] direction:%s dns1: ", direction);
      log_ipv6(a);
    }
    if (count_is_two(b, kIpv6DnsCountOffset)) {
      if (const uint8_t* a = bytes_at(b, kIpv6DnsOffsetOffset, 2 * kIpv6Size)) {
        LOG_TXT(LOG_NORMAL, "[tessel] direction:%s dns2: ", direction);
        log_ipv6(a + kIpv6Size);
      }
    }
  }
  uint32_t mtu = 0;
  if (b.word(kIpv6MtuOffset, &mtu) && mtu != 0) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
    LOG_NUM(LOG_NORMAL, "[tessel] ipv6 mtu = %u", mtu);
  }
}

}  // namespace

void dump_ip_configuration(const uint8_t* info, size_t info_len, const char* direction) {
  const Bounded b{info, info_len};
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  uint32_t v = 0;
  if (b.word(kSessionIdOffset, &v)) LOG_NUM(LOG_NORMAL, "[tessel] SessionId = %u", v);
  if (b.word(kIpv4AvailableOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] IPv4ConfigurationAvailable = 0x%x", v);
  }
  if (b.word(kIpv6AvailableOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] IPv6ConfigurationAvailable = 0x%x", v);
  }
  if (b.word(kIpv4AddressCountOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] IPv4AddressCount = 0x%x", v);
  }
  if (b.word(kIpv4AddressOffsetOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] IPv4AddressOffset = 0x%x", v);
  }
  if (b.word(kIpv6AddressCountOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] IPv6AddressCount = 0x%x", v);
  }
  if (b.word(kIpv6AddressOffsetOffset, &v)) {
    LOG_NUM(LOG_NORMAL, "[tessel] IPv6AddressOffset = 0x%x", v);
  }
  dump_ipv4(b, direction);
  dump_ipv6(b, direction);
}

}  // namespace tessel

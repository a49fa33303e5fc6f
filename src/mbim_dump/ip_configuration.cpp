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
#include "mbim_dump/word_fields.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE("src/mbim_dump");

namespace tessel {
namespace {

// IP configuration information: SessionId, then the words of the two
// families interleaved, IPv4's before IPv6's:
//   0  SessionId              4  IPv4ConfigurationAvailable   8  IPv6ConfigurationAvailable
//  12  IPv4AddressCount      16  IPv4AddressOffset           20  IPv6AddressCount
//  24  IPv6AddressOffset     28  IPv4GatewayOffset           32  IPv6GatewayOffset
//  36  IPv4DnsServerCount    40  IPv4DnsServerOffset         44  IPv6DnsServerCount
//  48  IPv6DnsServerOffset   52  IPv4Mtu                     56  IPv6Mtu
struct FamilyWords {
  size_t available;
  size_t address_count;
  size_t address_offset;
  size_t gateway_offset;
  size_t dns_count;
  size_t dns_offset;
  size_t mtu;
};
//                                avail  count  offset  gateway  dns count  dns  mtu
constexpr FamilyWords kIpv4Words = {4,    12,    16,     28,      36,       40,  52};
constexpr FamilyWords kIpv6Words = {8,    20,    24,     32,      44,       48,  56};

// The words shown before the addresses.
constexpr WordField kHeaderWords[] = {
    {0, LOG_RECORD(LOG_NORMAL, "[tessel] SessionId = %u")},
    {kIpv4Words.available, LOG_RECORD(LOG_NORMAL, "[tessel] IPv4ConfigurationAvailable = 0x%x")},
    {kIpv6Words.available, LOG_RECORD(LOG_NORMAL, "[tessel] IPv6ConfigurationAvailable = 0x%x")},
    {kIpv4Words.address_count, LOG_RECORD(LOG_NORMAL, "[tessel] IPv4AddressCount = 0x%x")},
    {kIpv4Words.address_offset, LOG_RECORD(LOG_NORMAL, "[tessel] IPv4AddressOffset = 0x%x")},
    {kIpv6Words.address_count, LOG_RECORD(LOG_NORMAL, "[tessel] IPv6AddressCount = 0x%x")},
    {kIpv6Words.address_offset, LOG_RECORD(LOG_NORMAL, "[tessel] IPv6AddressOffset = 0x%x")},
};
static_assert(records_fit(kHeaderWords));

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
  const uint32_t flags = flags_at(b, kIpv4Words.available);
  if ((flags & kAddressAvailable) != 0) {
    if (const uint8_t* e = bytes_at(b, kIpv4Words.address_offset, kPrefixLengthSize + kIpv4Size)) {
      const uint8_t* a = e + kPrefixLengthSize;
      LOG_TXT(LOG_NORMAL, "[tessel] %s ", direction);
      LOG_NUM(LOG_NORMAL, "[tessel] IPv4 = %u.%u.%u.%u/%u", a[0], a[1], a[2], a[3],
              get_le32(e) & 0xFF);
    }
  }
  if ((flags & kGatewayAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv4Words.gateway_offset, kIpv4Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
      LOG_NUM(LOG_NORMAL, "[tessel] gw = %u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    }
  }
  if ((flags & kDnsAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv4Words.dns_offset, kIpv4Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
      LOG_NUM(LOG_NORMAL, "[tessel] dns1 = %u.%u.%u.%u", a[0], a[1], a[2], a[3]);
    }
    if (count_is_two(b, kIpv4Words.dns_count)) {
      if (const uint8_t* a = bytes_at(b, kIpv4Words.dns_offset, 2 * kIpv4Size)) {
        LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
        LOG_NUM(LOG_NORMAL, "[tessel] dns2 = %u.%u.%u.%u", a[4], a[5], a[6], a[7]);
      }
    }
  }
  uint32_t mtu = 0;
  if (b.word(kIpv4Words.mtu, &mtu) && mtu != 0) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
    LOG_NUM(LOG_NORMAL, "[tessel] ipv4 mtu = %u", mtu);
  }
}

void dump_ipv6(const Bounded& b, const char* direction) {
  const uint32_t flags = flags_at(b, kIpv6Words.available);
  if ((flags & kAddressAvailable) != 0) {
    if (const uint8_t* e = bytes_at(b, kIpv6Words.address_offset, kPrefixLengthSize + kIpv6Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] direction:%s IPv6: ", direction);
      log_ipv6(e + kPrefixLengthSize);
      LOG_NUM(LOG_NORMAL, "[tessel] prfix:%d", get_le32(e) & 0xFF);
    }
  }
  if ((flags & kGatewayAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv6Words.gateway_offset, kIpv6Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] direction:%s Gateway: ", direction);
      log_ipv6(a);
    }
  }
  if ((flags & kDnsAvailable) != 0) {
    if (const uint8_t* a = bytes_at(b, kIpv6Words.dns_offset, kIpv6Size)) {
      LOG_TXT(LOG_NORMAL, "[tessel] direction:%s dns1: ", direction);
      log_ipv6(a);
    }
    if (count_is_two(b, kIpv6Words.dns_count)) {
      if (const uint8_t* a = bytes_at(b, kIpv6Words.dns_offset, 2 * kIpv6Size)) {
        LOG_TXT(LOG_NORMAL, "[tessel] direction:%s dns2: ", direction);
        log_ipv6(a + kIpv6Size);
      }
    }
  }
  uint32_t mtu = 0;
  if (b.word(kIpv6Words.mtu, &mtu) && mtu != 0) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
    LOG_NUM(LOG_NORMAL, "[tessel] ipv6 mtu = %u", mtu);
  }
}

}  // namespace

void dump_ip_configuration(const uint8_t* info, size_t info_len, const char* direction) {
  const Bounded b{info, info_len};
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  dump_words(b, kHeaderWords);
  dump_ipv4(b, direction);
  dump_ipv6(b, direction);
}

}  // namespace tessel

// ip_configuration_test.cpp — the IP configuration decoder: which address,
// gateway, DNS and MTU records each availability flag and count brings.
#include "dump_test_util.h"
#include "mbim_dump/info_decoders.h"

namespace tessel {
namespace {

using namespace dump_test;

struct Config {
  uint32_t v4_flags = 7;
  uint32_t v6_flags = 7;
  uint32_t v4_dns_count = 2;
  uint32_t v6_dns_count = 2;
  uint32_t v4_mtu = 1500;
  uint32_t v6_mtu = 1280;
};

// The 60-byte header, then the addresses at fixed places:
//  60 IPv4 element (prefix 24, 192.168.1.10)   68 IPv4 gateway 192.168.1.1
//  72 IPv4 DNS 8.8.8.8, 8.8.4.4                80 IPv6 element (prefix 64, 2001:db8::1)
// 100 IPv6 gateway fe80::1                    116 IPv6 DNS 2001:4860:4860::8888, ::8844
Bytes ip_configuration(const Config& c) {
  Bytes b;
  put32(b, 0, 1);  // SessionId
  put32(b, 4, c.v4_flags);
  put32(b, 8, c.v6_flags);
  put32(b, 12, 1);   // IPv4AddressCount
  put32(b, 16, 60);  // IPv4AddressOffset
  put32(b, 20, 1);   // IPv6AddressCount
  put32(b, 24, 80);  // IPv6AddressOffset
  put32(b, 28, 68);  // IPv4GatewayOffset
  put32(b, 32, 100);  // IPv6GatewayOffset
  put32(b, 36, c.v4_dns_count);
  put32(b, 40, 72);  // IPv4DnsServerOffset
  put32(b, 44, c.v6_dns_count);
  put32(b, 48, 116);  // IPv6DnsServerOffset
  put32(b, 52, c.v4_mtu);
  put32(b, 56, c.v6_mtu);
  put32(b, 60, 24);
  put_bytes(b, 64, {192, 168, 1, 10});
  put_bytes(b, 68, {192, 168, 1, 1});
  put_bytes(b, 72, {8, 8, 8, 8, 8, 8, 4, 4});
  put32(b, 80, 64);
  put_bytes(b, 84, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01});
  put_bytes(b, 100, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01});
  put_bytes(b, 116, {0x20, 0x01, 0x48, 0x60, 0x48, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0x88, 0x88});
  put_bytes(b, 132, {0x20, 0x01, 0x48, 0x60, 0x48, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0x88, 0x44});
  return exact_copy(b);
}

std::vector<std::string> decode(const Config& c) {
  capture_log::clear();
  const Bytes info = ip_configuration(c);
  dump_ip_configuration(info.data(), info.size(), "<");
  return texts();
}

const std::vector<std::string> kFirstEight = {
    "[tessel] <",
    "[tessel] SessionId = 1",
    "[tessel] IPv4ConfigurationAvailable = 0x7",
    "[tessel] IPv6ConfigurationAvailable = 0x7",
    "[tessel] IPv4AddressCount = 0x1",
    "[tessel] IPv4AddressOffset = 0x3c",
    "[tessel] IPv6AddressCount = 0x1",
    "[tessel] IPv6AddressOffset = 0x50",
};

TEST(IpConfiguration, EverythingAvailableGivesEveryRecordInOrder) {
  decode(Config{});
  expect_records({
      {Call::kSprintf, "[tessel] <"},
      {Call::kSend1, "[tessel] SessionId = 1"},
      {Call::kSend1, "[tessel] IPv4ConfigurationAvailable = 0x7"},
      {Call::kSend1, "[tessel] IPv6ConfigurationAvailable = 0x7"},
      {Call::kSend1, "[tessel] IPv4AddressCount = 0x1"},
      {Call::kSend1, "[tessel] IPv4AddressOffset = 0x3c"},
      {Call::kSend1, "[tessel] IPv6AddressCount = 0x1"},
      {Call::kSend1, "[tessel] IPv6AddressOffset = 0x50"},
      {Call::kSprintf, "[tessel] < "},
      {Call::kSendVar, "[tessel] IPv4 = 192.168.1.10/24", 5},
      {Call::kSprintf, "[tessel] <"},
      {Call::kSendVar, "[tessel] gw = 192.168.1.1", 4},
      {Call::kSprintf, "[tessel] <"},
      {Call::kSendVar, "[tessel] dns1 = 8.8.8.8", 4},
      {Call::kSprintf, "[tessel] <"},
      {Call::kSendVar, "[tessel] dns2 = 8.8.4.4", 4},
      {Call::kSprintf, "[tessel] <"},
      {Call::kSend1, "[tessel] ipv4 mtu = 1500"},
      {Call::kSprintf, "[tessel] direction:< IPv6: "},
      {Call::kSendVar, "[tessel] 2001:0db8:0000:0000:", 8},
      {Call::kSendVar, "[tessel] 0000:0000:0000:0001", 8},
      {Call::kSend1, "[tessel] prfix:64"},
      {Call::kSprintf, "[tessel] direction:< Gateway: "},
      {Call::kSendVar, "[tessel] fe80:0000:0000:0000:", 8},
      {Call::kSendVar, "[tessel] 0000:0000:0000:0001", 8},
      {Call::kSprintf, "[tessel] direction:< dns1: "},
      {Call::kSendVar, "[tessel] 2001:4860:4860:0000:", 8},
      {Call::kSendVar, "[tessel] 0000:0000:0000:8888", 8},
      {Call::kSprintf, "[tessel] direction:< dns2: "},
      {Call::kSendVar, "[tessel] 2001:4860:4860:0000:", 8},
      {Call::kSendVar, "[tessel] 0000:0000:0000:8844", 8},
      {Call::kSprintf, "[tessel] <"},
      {Call::kSend1, "[tessel] ipv6 mtu = 1280"},
  });
}

TEST(IpConfiguration, AddressAndGatewayWithoutDnsThenMtuWithoutFlags) {
  Config c;
  c.v4_flags = 3;
  c.v6_flags = 0;
  c.v6_mtu = 0;
  std::vector<std::string> want = kFirstEight;
  want[2] = "[tessel] IPv4ConfigurationAvailable = 0x3";
  want[3] = "[tessel] IPv6ConfigurationAvailable = 0x0";
  for (const char* t : {"[tessel] < ", "[tessel] IPv4 = 192.168.1.10/24", "[tessel] <",
                        "[tessel] gw = 192.168.1.1", "[tessel] <", "[tessel] ipv4 mtu = 1500"}) {
    want.push_back(t);
  }
  EXPECT_EQ(decode(c), want);

  // MTU records follow the MTU alone; no flags, no MTU: nothing more.
  c.v4_flags = 0;
  c.v4_mtu = 0;
  c.v6_mtu = 9000;
  const auto t = decode(c);
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t[9], "[tessel] ipv6 mtu = 9000");
}

TEST(IpConfiguration, SecondDnsServerOnlyForACountOfExactlyTwo) {
  for (uint32_t count : {1u, 3u}) {
    Config c;
    c.v4_dns_count = count;
    c.v6_dns_count = count;
    const auto t = decode(c);
    EXPECT_EQ(t.size(), 33u - 5u) << count;
    EXPECT_EQ(t[13], "[tessel] dns1 = 8.8.8.8");
    EXPECT_EQ(t[15], "[tessel] ipv4 mtu = 1500") << count;
    EXPECT_EQ(t[23], "[tessel] direction:< dns1: ") << count;
    EXPECT_EQ(t[26], "[tessel] <") << count;
  }
}

}  // namespace
}  // namespace tessel

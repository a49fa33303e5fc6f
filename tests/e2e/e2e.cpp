// e2e.cpp — see e2e.h.
#include "e2e.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "byte_order/byte_order.h"
#include "isolation.h"
#include "log_records.h"
#include "md5/md5.h"
#include "service_ids.h"

namespace e2e {
namespace {

// MBIM_COMMAND_MSG as the host sends it (little-endian u32 fields):
//   0  MessageType (3)      4  MessageLength       8  TransactionId
//  12  TotalFragments (1)  16  CurrentFragment (0)
//  20  DeviceServiceId (16 bytes)                  36  CID
//  40  CommandType (1 set) 44  InformationBufferLength
//  48  InformationBuffer
enum : size_t { kServiceOffset = 20, kCidOffset = 36, kCommandTypeOffset = 40 };
enum : size_t { kInfoLengthOffset = 44, kHeaderSize = 48 };

// The DIAG write packet, unescaped (16-bit fields little-endian):
//   0  4B 0B 24 00 78 02 00 00 00 00    10  item    12  chunk length
//  14  0 first chunk / 1 next           15  the chunk, then the FCS (2 bytes)
const Bytes kWritePacketStart = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00};
constexpr size_t kWriteChunkOffset = 15;
constexpr size_t kFcsSize = 2;

// Callers check the size first.
uint32_t le32(const Bytes& b, size_t at) { return tessel::get_le32(b.data() + at); }
uint32_t le16(const Bytes& b, size_t at) { return tessel::get_le16(b.data() + at); }

// A CID 25 InformationBuffer back to the raw packet: every 7D xx pair is
// xx ^ 0x20, and the frame ends with one 7E. False when it does not.
bool unframe(const Bytes& frame, Bytes* raw) {
  if (frame.empty() || frame.back() != 0x7E) return false;
  for (size_t i = 0; i + 1 < frame.size(); ++i) {
    if (frame[i] == 0x7E) return false;
    if (frame[i] == 0x7D) {
      if (i + 2 >= frame.size()) return false;
      raw->push_back(frame[++i] ^ 0x20);
    } else {
      raw->push_back(frame[i]);
    }
  }
  return true;
}

std::string describe_write(const Bytes& info) {
  Bytes raw;
  if (!unframe(info, &raw) || raw.size() < kWriteChunkOffset + kFcsSize ||
      !std::equal(kWritePacketStart.begin(), kWritePacketStart.end(), raw.begin()))
    return "malformed: 25 " + hex(info);
  const uint32_t item = le16(raw, 10);
  const uint32_t length = le16(raw, 12);
  const uint8_t flag = raw[14];
  if (raw.size() != kWriteChunkOffset + length + kFcsSize || flag > 1)
    return "malformed: 25 " + hex(info);
  return "25 item=" + std::to_string(item) + " len=" + std::to_string(length) +
         (flag == 0 ? " first" : " next");
}

}  // namespace

std::string hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t x : bytes) {
    s.push_back(kDigits[x >> 4]);
    s.push_back(kDigits[x & 15]);
  }
  return s;
}

std::string md5_hex(const Bytes& bytes) {
  Bytes digest(tessel::kMd5DigestSize);
  tessel::md5_digest(bytes.data(), bytes.size(), digest.data());
  return hex(digest);
}

Outcome tessel(const std::vector<std::string>& args, process::Options options) {
  Outcome run;
  const auto start = std::chrono::steady_clock::now();
  run.result = process::run_tool(args, options);
  run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return run;
}

std::vector<std::string> records(const std::string& err) {
  std::vector<std::string> out;
  for (const log_records::Record& r : log_records::parse(err)) out.push_back(log_records::joined(r));
  return out;
}

std::string describe(const Bytes& m) {
  if (m.size() < kHeaderSize) return "malformed: " + hex(m);
  if (le32(m, 0) != 3 || le32(m, 4) != m.size() || le32(m, 12) != 1 || le32(m, 16) != 0 ||
      le32(m, kCommandTypeOffset) != 1 || kHeaderSize + le32(m, kInfoLengthOffset) != m.size())
    return "malformed: " + hex(m);
  const Bytes service(m.begin() + kServiceOffset, m.begin() + kServiceOffset + 16);
  const uint32_t cid = le32(m, kCidOffset);
  const Bytes info(m.begin() + kHeaderSize, m.end());
  if (service == service_ids::kQmbe) {
    if (cid == 25) return describe_write(info);
    return std::to_string(cid) + " " + hex(info);
  }
  if (service == service_ids::kAtTunnel && cid == 8) return "at " + hex(info);
  return "service " + hex(service) + " cid " + std::to_string(cid) + " " + hex(info);
}

std::vector<std::string> describe(const std::vector<std::vector<unsigned char>>& requests) {
  std::vector<std::string> out;
  for (const auto& r : requests) out.push_back(describe(r));
  return out;
}

void ModemTest::SetUp() {
  if (!process::isolated() && process::proxy_visible()) {
    GTEST_SKIP() << "a process named mbim-proxy is visible and this run has no namespaces of "
                    "its own (run through isolated.sh as root): the tool would use that proxy "
                    "instead of the simulated modem";
  }
}

bool received(const process::Simulator& modem, size_t n) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < until) {
    if (modem.rx().size() >= n) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

void forget_device_states() {
  if (!process::isolated()) return;  // never a real run's records
  DIR* d = opendir(kStateDirectory);
  if (d == nullptr) return;
  while (dirent* e = readdir(d)) {
    if (e->d_name[0] != '.') unlink((std::string(kStateDirectory) + "/" + e->d_name).c_str());
  }
  closedir(d);
}

std::unique_ptr<process::Simulator> start_modem(const std::vector<std::string>& args) {
  forget_device_states();
  std::vector<std::string> all = {"--pty"};
  all.insert(all.end(), args.begin(), args.end());
  return std::make_unique<process::Simulator>(all);
}

std::unique_ptr<process::Simulator> start_modem_storing(const process::TempFile& stored,
                                                        std::vector<std::string> args) {
  args.insert(args.begin(), {"--table-out", stored.path()});
  return start_modem(args);
}

}  // namespace e2e

// e2e.cpp — see e2e.h.
#include "e2e.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

#include "isolation.h"
namespace e2e {
namespace {

// MBIM_COMMAND_MSG as the host sends it (little-endian u32 fields):
//   0  MessageType (3)      4  MessageLength       8  TransactionId
//  12  TotalFragments (1)  16  CurrentFragment (0)
//  20  DeviceServiceId (16 bytes)                  36  CID
//  40  CommandType (1 set) 44  InformationBufferLength
//  48  InformationBuffer
constexpr size_t kHeaderSize = 48;
constexpr size_t kServiceOffset = 20;
constexpr size_t kCidOffset = 36;
constexpr size_t kCommandTypeOffset = 40;
constexpr size_t kInfoLengthOffset = 44;

// DeviceServiceId bytes, in the order of the UUID's text form.
const Bytes kQmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                     0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};
const Bytes kAtTunnel = {0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,
                         0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83};

// The DIAG write packet, unescaped (16-bit fields little-endian):
//   0  4B 0B 24 00 78 02 00 00 00 00    10  item    12  chunk length
//  14  0 first chunk / 1 next           15  the chunk, then the FCS (2 bytes)
const Bytes kWritePacketStart = {0x4B, 0x0B, 0x24, 0x00, 0x78, 0x02, 0x00, 0x00, 0x00, 0x00};
constexpr size_t kWriteChunkOffset = 15;
constexpr size_t kFcsSize = 2;

uint32_t le32(const Bytes& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}

uint32_t le16(const Bytes& b, size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8; }

std::string hex(const Bytes& b) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  for (uint8_t x : b) {
    s.push_back(kDigits[x >> 4]);
    s.push_back(kDigits[x & 15]);
  }
  return s;
}

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

Outcome tessel(const std::vector<std::string>& args, process::Options options) {
  std::vector<std::string> argv = {TESSEL_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  options.unset.push_back("VERBOSE");  // options.env still adds its own value back
  Outcome run;
  const auto start = std::chrono::steady_clock::now();
  run.result = process::run(argv, options);
  run.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return run;
}

std::vector<std::string> records(const std::string& err) {
  // "<I|E> <file>:<line> <text>"
  static const std::regex kRecordStart("([IE]) ([^ :]+):[0-9]+ ([^\\n]*)");  // "." stops at a CR
  std::vector<std::string> out;
  size_t start = 0;
  while (start < err.size()) {
    size_t end = err.find('\n', start);
    if (end == std::string::npos) end = err.size();
    const std::string line = err.substr(start, end - start);
    start = end + 1;
    std::smatch m;
    if (std::regex_match(line, m, kRecordStart)) {
      out.push_back(m[1].str() + " " + m[2].str() + " " + m[3].str());
    } else if (!out.empty() && out.back()[0] != '?') {
      out.back() += "\n" + line;
    } else {
      out.push_back("? " + line);
    }
  }
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
  if (service == kQmbe) {
    if (cid == 25) return describe_write(info);
    return std::to_string(cid) + " " + hex(info);
  }
  if (service == kAtTunnel && cid == 8) return "at " + hex(info);
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

}  // namespace e2e

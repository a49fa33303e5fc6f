// e2e_wire.h — what the end-to-end road tests read back from a run of the
// tool: the requests the modem (or proxy) received, field by field, and the
// log records the host build writes to standard error, one line each:
//   I src/mbim_ctx:<line> [tessel] connet sunccess ('mbim-proxy')
//   E src/main:<line> [tessel] GetIsMbimReady err=-1
#ifndef TESSEL_TESTS_E2E_ROADS_E2E_WIRE_H_
#define TESSEL_TESTS_E2E_ROADS_E2E_WIRE_H_

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "process.h"

namespace e2e {

using Bytes = std::vector<unsigned char>;

inline uint32_t le32_at(const Bytes& m, size_t offset) {
  if (m.size() < offset + 4) return 0xFFFFFFFFu;
  return uint32_t(m[offset]) | uint32_t(m[offset + 1]) << 8 | uint32_t(m[offset + 2]) << 16 |
         uint32_t(m[offset + 3]) << 24;
}

inline void add_le32(Bytes* b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b->push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// MBIM_COMMAND_MSG fields (offsets from the first byte):
//   0 MessageType  4 MessageLength  8 TransactionId  12 TotalFragments
//  16 CurrentFragment  20 DeviceServiceId (16)  36 CID  40 CommandType
//  44 InformationBufferLength  48 InformationBuffer
constexpr uint32_t kOpenMsg = 1;
constexpr uint32_t kCommandMsg = 3;
inline uint32_t message_type(const Bytes& m) { return le32_at(m, 0); }
inline uint32_t transaction_id(const Bytes& m) { return le32_at(m, 8); }
inline uint32_t cid(const Bytes& m) { return le32_at(m, 36); }
inline Bytes service(const Bytes& m) {
  return m.size() < 36 ? Bytes() : Bytes(m.begin() + 20, m.begin() + 36);
}
inline Bytes info(const Bytes& m) { return m.size() < 48 ? Bytes() : Bytes(m.begin() + 48, m.end()); }

// Service UUIDs as they travel in DeviceServiceId.
const Bytes kProxyControl = {0x83, 0x8c, 0xf7, 0xfb, 0x8d, 0x0d, 0x4d, 0x7f,
                             0x87, 0x1e, 0xd7, 0x1d, 0xbe, 0xfb, 0xb3, 0x9b};
const Bytes kAtTunnel = {0x64, 0x27, 0x01, 0x5f, 0x57, 0x9d, 0x48, 0xf5,
                         0x8c, 0x54, 0xf4, 0x3e, 0xd1, 0xe7, 0x6f, 0x83};
const Bytes kQmbe = {0x2d, 0x0c, 0x12, 0xc9, 0x0e, 0x6a, 0x49, 0x5a,
                     0x91, 0x5c, 0x8d, 0x17, 0x4f, 0xe5, 0xd6, 0x3c};

// The libmbim proxy configuration naming `device`, as it must leave the
// tool; the TransactionId is the one it was given.
inline Bytes proxy_configuration(const std::string& device, uint32_t tid) {
  const uint32_t path_size = static_cast<uint32_t>(2 * device.size());
  Bytes m;
  add_le32(&m, 3);                    // MessageType: MBIM_COMMAND_MSG
  add_le32(&m, 48 + 12 + path_size);  // MessageLength
  add_le32(&m, tid);                  // TransactionId
  add_le32(&m, 1);                    // TotalFragments
  add_le32(&m, 0);                    // CurrentFragment
  m.insert(m.end(), kProxyControl.begin(), kProxyControl.end());
  add_le32(&m, 1);                    // CID: MBIM_CID_PROXY_CONTROL_CONFIGURATION
  add_le32(&m, 1);                    // CommandType: set
  add_le32(&m, 12 + path_size);       // InformationBufferLength
  add_le32(&m, 12);                   // offset of the path
  add_le32(&m, path_size);            // size of the path in bytes
  add_le32(&m, 15);                   // the proxy's timeout, seconds
  for (char c : device) {             // the path as UTF-16LE, no terminator
    m.push_back(static_cast<unsigned char>(c));
    m.push_back(0);
  }
  return m;
}

// The AT text a tunnel request carries after its leading zero word.
inline std::string at_text(const Bytes& m) {
  const Bytes i = info(m);
  return i.size() < 4 ? std::string() : std::string(i.begin() + 4, i.end());
}

inline bool is_proxy_control(const Bytes& m) { return service(m) == kProxyControl; }

// One record line of standard error.
struct LogLine {
  char level;        // 'I' or 'E'
  std::string file;  // "src/mbim_ctx"
  std::string text;  // "[tessel] ..." up to the end of the line
};

inline std::vector<LogLine> log_lines(const std::string& err) {
  static const std::regex kLine(R"(^([IE]) (src/[a-z_0-9]+):[0-9]+ (.*)$)");
  std::vector<LogLine> out;
  std::istringstream in(err);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, kLine)) out.push_back({m.str(1)[0], m.str(2), m.str(3)});
  }
  return out;
}

inline bool logged(const std::string& err, char level, const std::string& file,
                   const std::string& text) {
  for (const LogLine& l : log_lines(err)) {
    if (l.level == level && l.file == file && l.text == text) return true;
  }
  return false;
}

// The error-level lines, for a failure message.
inline std::string error_lines(const std::string& err) {
  std::string out;
  for (const LogLine& l : log_lines(err)) {
    if (l.level == 'E') out += l.file + " " + l.text + "\n";
  }
  return out;
}

// A table file's bytes: not a repeating pattern, so a misplaced chunk shows.
inline Bytes table_bytes(size_t n) { return process::pattern(n, 0x12345678u); }

}  // namespace e2e

#endif  // TESSEL_TESTS_E2E_ROADS_E2E_WIRE_H_

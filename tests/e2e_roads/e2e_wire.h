// e2e_wire.h — what the end-to-end road tests read back from a run of the
// tool: the requests the modem (or proxy) received, field by field, and the
// log records the host build writes to standard error (support/log_records.h).
#ifndef TESSEL_TESTS_E2E_ROADS_E2E_WIRE_H_
#define TESSEL_TESTS_E2E_ROADS_E2E_WIRE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "byte_order/byte_order.h"
#include "log_records.h"
#include "process.h"
#include "service_ids.h"

namespace e2e {

using Bytes = std::vector<unsigned char>;

// The word at `offset`, or all ones when the message is too short for it.
inline uint32_t le32_at(const Bytes& m, size_t offset) {
  uint32_t v = 0xFFFFFFFFu;
  tessel::read_le32(m.data(), m.size(), offset, &v);
  return v;
}

inline void add_le32(Bytes* b, uint32_t v) {
  b->resize(b->size() + 4);
  tessel::put_le32(b->data() + b->size() - 4, v);
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

using service_ids::kAtTunnel;
using service_ids::kProxyControl;
using service_ids::kQmbe;

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

// The records on standard error, each by its first line.
inline std::vector<log_records::Record> log_lines(const std::string& err) {
  std::vector<log_records::Record> out;
  for (const log_records::Record& r : log_records::parse(err)) {
    if (r.level != '?') out.push_back(r);
  }
  return out;
}

inline bool logged(const std::string& err, char level, const std::string& file,
                   const std::string& text) {
  for (const log_records::Record& l : log_lines(err)) {
    if (l.level == level && l.file == file && l.text == text) return true;
  }
  return false;
}

// The error-level lines, for a failure message.
inline std::string error_lines(const std::string& err) {
  std::string out;
  for (const log_records::Record& l : log_lines(err)) {
    if (l.level == 'E') out += l.file + " " + l.text + "\n";
  }
  return out;
}

// A table file's bytes: not a repeating pattern, so a misplaced chunk shows.
inline Bytes table_bytes(size_t n) { return process::pattern(n, 0x12345678u); }

}  // namespace e2e

#endif  // TESSEL_TESTS_E2E_ROADS_E2E_WIRE_H_

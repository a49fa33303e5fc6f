// sar_service.cpp — the vendor QMBE service: the DIAG-over-MBIM switch
// (CID 21), the stored table's digest (CID 22), apply (CID 23) and the DIAG
// packets that write and read the table (CID 25).
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "mbim_format/mbim_message.h"
#include "byte_order/byte_order.h"
#include "md5/md5.h"
#include "modem_sim/diag_packets.h"
#include "modem_sim/fd_guard.h"
#include "modem_sim/hdlc.h"
#include "modem_sim/notes.h"
#include "modem_sim/services.h"

namespace tessel::sim {
namespace {

// CID 21 set: 2 bytes, 00 12 switches DIAG-over-MBIM on, 00 22 off.
constexpr std::array<uint8_t, 2> kSwitchOn = {0x00, 0x12};
constexpr std::array<uint8_t, 2> kSwitchOff = {0x00, 0x22};
// CID 21 query answer: one 32-bit word, this value when on, 0 when off.
constexpr uint32_t kConfigWordOn = 0x1200;

constexpr size_t kDigestRequestSize = 4;  // item number, big-endian
constexpr size_t kApplyRequestSize = 2;   // item's low 16 bits, big-endian

// A table that keeps growing by appended chunks is refused beyond this,
// rather than letting a confused host eat the simulator's memory.
constexpr size_t kMaxTableSize = 16u << 20;

uint16_t item_key(int32_t item) { return static_cast<uint16_t>(static_cast<uint32_t>(item)); }

const std::vector<uint8_t>& table_of(const SimState& state, uint16_t key) {
  static const std::vector<uint8_t> kEmpty;
  auto found = state.tables.find(key);
  return found != state.tables.end() ? found->second : kEmpty;
}

using Digest = std::array<uint8_t, kMd5DigestSize>;

Digest digest_of(const std::vector<uint8_t>& table) {
  Digest digest{};
  md5_digest(table.data(), table.size(), digest.data());
  return digest;
}

std::string digest_text(const Digest& digest) { return hex_text(digest.data(), digest.size()); }
std::string digest_text(const std::vector<uint8_t>& table) { return digest_text(digest_of(table)); }

bool write_all(int fd, const uint8_t* bytes, size_t length) {
  size_t done = 0;
  while (done < length) {
    ssize_t n = ::write(fd, bytes + done, length - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Rewrites --table-out through a temporary file and a rename, so a test that
// looks at it never sees a half-written table. The tool's own replace
// (api/file_replace.h) is not used: the simulator links only the floors a
// modem needs (md5), not the tool's service layer and transport, and a
// file read back within the same test needs no fsync.
void store_table_file(const std::string& path, const std::vector<uint8_t>& table) {
  std::string temporary = path + ".tmp";
  FdGuard fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.valid() || !write_all(fd.get(), table.data(), table.size())) {
    note("cannot write %s: %s", temporary.c_str(), std::strerror(errno));
    return;
  }
  fd.reset();
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    note("cannot rename %s to %s: %s", temporary.c_str(), path.c_str(), std::strerror(errno));
  }
}

// The table key a CID 22 or 23 set names: the low 16 bits of the item, the
// request's last two bytes, big-endian. False, with a note saying what was
// `expected`, when the request is not `size` bytes.
bool requested_key(const CommandRequest& rq, size_t size, const char* expected, uint16_t* key) {
  if (rq.info_length != size) {
    note("CID %u: expected %s, got %zu bytes", rq.cid, expected, rq.info_length);
    return false;
  }
  *key = static_cast<uint16_t>(rq.info[size - 2] << 8 | rq.info[size - 1]);
  return true;
}

Answer diag_switch(SimState* state, const CommandRequest& rq) {
  if (rq.command_type == kCommandQuery) {
    Answer answer;
    answer.info.assign(4, 0);
    put_le32(answer.info.data(), state->diag_over_mbim_on ? kConfigWordOn : 0);
    return answer;
  }
  if (rq.info_length == kSwitchOn.size() && std::equal(kSwitchOn.begin(), kSwitchOn.end(), rq.info)) {
    state->diag_over_mbim_on = true;
  } else if (rq.info_length == kSwitchOff.size() &&
             std::equal(kSwitchOff.begin(), kSwitchOff.end(), rq.info)) {
    state->diag_over_mbim_on = false;
  } else {
    note("CID 21: expected 00 12 or 00 22, got %zu bytes %s", rq.info_length,
         hex_text(rq.info, rq.info_length).c_str());
    return failure();
  }
  note("CID 21: DIAG-over-MBIM switched %s", state->diag_over_mbim_on ? "on" : "off");
  return Answer{};
}

// Some modems update the digest CID 22 reports only when the table is
// applied, and some never update it: --md5-after-apply and --md5-frozen
// play them, so a host that trusts the digest can be caught out.
Answer table_digest(SimState* state, const CommandRequest& rq) {
  if (rq.command_type != kCommandSet) return not_supported();
  uint16_t key = 0;
  if (!requested_key(rq, kDigestRequestSize, "a 4-byte item number", &key)) return failure();
  const std::vector<uint8_t>& table = table_of(*state, key);
  Digest reported = digest_of(table);
  const char* why = "";
  if (state->options.md5_after_apply) {
    auto applied = state->applied_md5.find(key);
    reported = applied != state->applied_md5.end() ? applied->second : digest_of({});
    why = " (as last applied, --md5-after-apply)";
  }
  if (state->options.md5_frozen) {
    auto first = state->first_reported_md5.emplace(key, reported);
    if (!first.second) {
      reported = first.first->second;
      why = " (the first one reported, --md5-frozen)";
    }
  }
  Answer answer;
  answer.info.assign(reported.begin(), reported.end());
  if (state->options.md5_length >= 0) answer.info.resize(size_t(state->options.md5_length), 0);
  note("CID 22: item %02x%02x%02x%02x (key %u), table of %zu bytes, md5 %s, reporting %s%s, "
       "answering %zu bytes",
       rq.info[0], rq.info[1], rq.info[2], rq.info[3], key, table.size(),
       digest_text(table).c_str(), digest_text(reported).c_str(), why, answer.info.size());
  return answer;
}

Answer apply(SimState* state, const CommandRequest& rq) {
  if (rq.command_type != kCommandSet) return not_supported();
  uint16_t key = 0;
  if (!requested_key(rq, kApplyRequestSize, "the item's 2 low bytes", &key)) return failure();
  const std::vector<uint8_t>& table = table_of(*state, key);
  state->applied_md5[key] = digest_of(table);
  note("CID 23: apply item key %u: table of %zu bytes, md5 %s", key, table.size(),
       digest_text(table).c_str());
  return Answer{};
}

Answer diag_write(SimState* state, const DiagRequest& d) {
  if (!state->diag_over_mbim_on) note("CID 25: table write while DIAG-over-MBIM is switched off");
  // A modem that gives up in the middle of a table: the chunks before this
  // one are stored, this one is not, and a later write starts over.
  if (++state->write_chunks == state->options.fail_write_chunk) {
    note("CID 25: write item %u, chunk %u of this process refused (--fail-write-chunk)", d.item,
         state->write_chunks);
    return failure();
  }
  std::vector<uint8_t>& table = state->tables[d.item];
  if (d.flag == 0) table.clear();
  if (table.size() + d.data_length > kMaxTableSize) {
    note("CID 25: item %u would grow past %zu bytes; refused", d.item, kMaxTableSize);
    return failure();
  }
  table.insert(table.end(), d.data, d.data + d.data_length);
  note("CID 25: write item %u, %s chunk of %zu bytes, table now %zu bytes", d.item,
       d.flag == 0 ? "first" : "next", d.data_length, table.size());
  if (d.item == item_key(state->options.item) && !state->options.table_out.empty()) {
    store_table_file(state->options.table_out, table);
  }
  Answer answer;
  answer.info = hdlc_frame(diag_write_reply(state->options.bad_signature));
  return answer;
}

// One reply of a table read: --read-chunk bytes from the offset asked for.
// A --read-lie is told only by replies after the first (an offset above 0),
// so the first reply always announces the table's size.
Answer diag_read(const SimState& state, const DiagRequest& d) {
  if (state.options.fail_reads) {
    note("CID 25: read at offset %u refused (--fail-reads)", d.offset);
    return failure();
  }
  const std::vector<uint8_t>& table = table_of(state, item_key(state.options.item));
  const size_t offset = std::min<size_t>(d.offset, table.size());
  const size_t rest = table.size() - offset;
  const size_t count = std::min<size_t>(state.options.read_chunk, rest);
  std::vector<uint8_t> data(table.begin() + offset, table.begin() + offset + count);
  // Both fields are 16 bits wide: a table past 64 KiB is announced as more
  // than 65535 bytes (the remainder capped at 65535), never as a wrapped size.
  size_t remaining = std::min<size_t>(rest - count, 0xFFFF);
  const char* lie = "";
  if (d.offset > 0) {
    switch (state.options.read_lie) {
      case ReadLie::kNone: break;
      case ReadLie::kTotalChanges:
        remaining = remaining < 0xFFFF ? remaining + 1 : remaining - 1;
        lie = " (--read-lie total-changes)";
        break;
      case ReadLie::kOverlong:
        if (count == rest) {
          data.push_back(0);
          lie = " (--read-lie overlong: one byte more than remains)";
        }
        break;
      case ReadLie::kEmpty:
        if (rest > 0) {
          data.clear();
          remaining = std::min<size_t>(rest, 0xFFFF);
          lie = " (--read-lie empty)";
        }
        break;
    }
  }
  note("CID 25: read at offset %u of %zu bytes: %zu bytes, %zu remaining%s", d.offset,
       table.size(), data.size(), remaining, lie);
  Answer answer;
  answer.info = hdlc_frame(diag_read_reply(data.data(), static_cast<uint16_t>(data.size()),
                                           static_cast<uint16_t>(remaining)));
  return answer;
}

Answer diag_packet(SimState* state, const CommandRequest& rq) {
  if (rq.command_type != kCommandSet) return not_supported();
  std::vector<uint8_t> packet;
  std::string why;
  if (hdlc_unframe(rq.info, rq.info_length, &packet, &why) != 0) {
    note("CID 25: frame of %zu bytes refused: %s", rq.info_length, why.c_str());
    return failure();
  }
  DiagRequest d;
  if (parse_diag_request(packet, &d, &why) != 0) {
    note("CID 25: packet refused: %s", why.c_str());
    return failure();
  }
  return d.operation == DiagOperation::kWrite ? diag_write(state, d) : diag_read(*state, d);
}

}  // namespace

Answer answer_qmbe(SimState* state, const CommandRequest& request) {
  switch (request.cid) {
    case kCidDiagOverMbimConfig: return diag_switch(state, request);
    case kCidTableDigest: return table_digest(state, request);
    case kCidApply: return apply(state, request);
    case kCidDiagPacket: return diag_packet(state, request);
    default:
      note("QMBE CID %u: NO_DEVICE_SUPPORT", request.cid);
      return not_supported();
  }
}

int preload_table(SimState* state) {
  const std::string& path = state->options.table_in;
  if (path.empty()) return 0;
  FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    note("cannot open --table-in %s: %s", path.c_str(), std::strerror(errno));
    return -1;
  }
  std::vector<uint8_t> table;
  std::array<uint8_t, 4096> block{};
  for (;;) {
    ssize_t n = ::read(fd.get(), block.data(), block.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      note("cannot read --table-in %s: %s", path.c_str(), std::strerror(errno));
      return -1;
    }
    if (n == 0) break;
    if (table.size() + size_t(n) > kMaxTableSize) {
      note("--table-in %s is larger than %zu bytes", path.c_str(), kMaxTableSize);
      return -1;
    }
    table.insert(table.end(), block.begin(), block.begin() + n);
  }
  note("item %d: preloaded %zu bytes from %s, md5 %s", state->options.item, table.size(),
       path.c_str(), digest_text(table).c_str());
  // A preloaded table is one the modem already runs with: applied.
  state->applied_md5[item_key(state->options.item)] = digest_of(table);
  state->tables[item_key(state->options.item)] = std::move(table);
  return 0;
}

}  // namespace tessel::sim

// outcome.cpp — see outcome.h.
#include "main/outcome.h"

#include <cinttypes>
#include <cstdio>

namespace tessel {
namespace {

const char* or_dash(const char* s) { return s != nullptr ? s : "-"; }

}  // namespace

const char* digest_text(const Digest& d, std::array<char, 33>* text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < d.size(); ++i) {
    (*text)[2 * i] = kHex[d[i] >> 4];
    (*text)[2 * i + 1] = kHex[d[i] & 0x0F];
  }
  (*text)[32] = '\0';
  return text->data();
}

void print_summary(const SarOutcome& o) {
  std::array<char, 33> file;
  std::array<char, 33> modem;
  std::array<char, 24> size;
  if (o.size >= 0) {
    std::snprintf(size.data(), size.size(), "%" PRId64, o.size);
  } else {
    std::snprintf(size.data(), size.size(), "-");
  }
  std::printf("result=%s item=%d size=%s file_md5=%s modem_md5=%s step=%s apply=%s\n", o.result,
              static_cast<int>(o.item), size.data(),
              o.have_file_md5 ? digest_text(o.file_md5, &file) : "-",
              o.have_modem_md5 ? digest_text(o.modem_md5, &modem) : "-", or_dash(o.step),
              or_dash(o.apply));
}

void print_summary(const AtOutcome& o) {
  std::array<char, 24> code;
  if (o.code >= 0) {
    std::snprintf(code.data(), code.size(), "%ld", o.code);
  } else {
    std::snprintf(code.data(), code.size(), "-");
  }
  std::printf("result=%s final=%s code=%s step=%s\n", o.result, or_dash(o.final), code.data(),
              or_dash(o.step));
}

int strict_exit_status(int status) {
  const bool lost = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
  return lost && status == kExitOk ? kExitOutputLost : status;
}

}  // namespace tessel

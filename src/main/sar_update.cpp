// sar_update.cpp — bringing the modem's SAR table in line with a file.
//
// Only when the digest the modem reports differs from the file's, or the
// update is forced, is the modem's state touched: DIAG-over-MBIM on, the
// table written, DIAG-over-MBIM off, the digest read back (logged, not
// compared), the table applied. Any failing step ends the update with its
// record; every path ends with UnInit.
#include <array>
#include <cstdio>
#include <cstring>

#include "api/service_api.h"
#include "diag_log/diag_log.h"
#include "main/sub_commands.h"

TESSEL_LOG_MODULE("src/main");

namespace tessel {
namespace {

using Digest = std::array<uint8_t, 16>;

// The digest as 32 lower-case hexadecimal digits, in its stored order.
const char* digest_text(const Digest& d, std::array<char, 33>* text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (size_t i = 0; i < d.size(); ++i) {
    (*text)[2 * i] = kHex[d[i] >> 4];
    (*text)[2 * i + 1] = kHex[d[i] & 0x0F];
  }
  (*text)[32] = '\0';
  return text->data();
}

int update(const char* device, const char* table, int32_t item, int force) {
  int ready = 0;
  Digest stored{};
  Digest file{};
  std::array<char, 33> text;
  int r;

  if ((r = Init(device)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] Init err=%d", r);
    return r;
  }
  if ((r = GetIsMbimReady(&ready)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] GetIsMbimReady err=%d", r);
    return r;
  }
  if (!ready) return 0;
  if ((r = GetSarMd5(item, stored.data())) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] GetSarMd5 err=%d", r);
    return r;
  }
  LOG_TXT(LOG_NORMAL, "[tessel] --- md5: %s", digest_text(stored, &text));
  if ((r = GetFileMd5(table, file.data())) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] GetFileMd5 err=%d", r);
    return r;
  }
  LOG_TXT(LOG_NORMAL, "[tessel] +++ md5: %s", digest_text(file, &text));
  if (stored == file && force == 0) {
    LOG_MSG(LOG_ERROR, "[tessel] no need to update\n");
    return 0;
  }
  if ((r = SetSarEnable(1)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", r);
    return r;
  }
  if ((r = SetSarValue(table, item)) != 0) {
    // DIAG-over-MBIM stays on: the modem is left as the failed write found it.
    LOG_NUM(LOG_ERROR, "[tessel] SetSarValue err=%d", r);
    return r;
  }
  if ((r = SetSarEnable(0)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] SetSarEnable err=%d", r);
    return r;
  }
  if ((r = GetSarMd5(item, stored.data())) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] GetSarMd5 after update err=%d", r);
    return r;
  }
  LOG_TXT(LOG_NORMAL, "[tessel] md5: %s\n", digest_text(stored, &text));
  if ((r = ApplySarValue(item)) != 0) {
    LOG_NUM(LOG_ERROR, "[tessel] ApplySarValue err=%d", r);
    return r;
  }
  return 0;
}

}  // namespace

int sar_update(const char* device, const char* table, int32_t item, int force) {
  const int result = update(device, table, item, force);
  UnInit();
  return result;
}

}  // namespace tessel

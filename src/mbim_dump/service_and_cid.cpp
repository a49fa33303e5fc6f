// service_and_cid.cpp — see service_and_cid.h.
#include "mbim_dump/service_and_cid.h"

#include "diag_log/diag_log.h"
#include "mbim_dump/hex_text.h"
#include "mbim_dump/name_tables.h"

TESSEL_LOG_MODULE("src/mbim_dump");

namespace tessel {
namespace {

void log_service(const char* uuid_text, const char* direction) {
  LOG_TXT(LOG_NORMAL, "[tessel] %s DeviceServiceId = %s (%s)", direction,
          service_name_lookup(uuid_text), uuid_text);
}

}  // namespace

void dump_service_and_cid(const uint8_t* service_id, uint32_t cid, const char* direction) {
  // The UUID text lives in uuid_to_string's buffer; nothing below calls it
  // again before both records are written.
  const char* uuid_text = uuid_to_string(service_id);
  log_service(uuid_text, direction);
  LOG_TXT(LOG_NORMAL, "[tessel] %s CID = %s (%u)", direction, cid_name_lookup(uuid_text, cid),
          cid);
}

void dump_service(const uint8_t* service_id, const char* direction) {
  log_service(uuid_to_string(service_id), direction);
}

}  // namespace tessel

// dump_message.cpp — see dump_message.h.
#include "mbim_dump/dump_message.h"

#include <algorithm>

#include "diag_log/diag_log.h"
#include "mbim_dump/bounded.h"
#include "mbim_dump/hex_text.h"
#include "mbim_dump/info_decoders.h"
#include "mbim_dump/name_tables.h"
#include "mbim_dump/service_and_cid.h"
#include "mbim_format/mbim_message.h"
#include "mbim_format/uuid.h"
#include "byte_order/byte_order.h"

TESSEL_LOG_MODULE("src/mbim_dump");

namespace tessel {
namespace {

constexpr char kHostToModem[] = ">";
constexpr char kModemToHost[] = "<";

// Basic-connect CIDs whose SessionId or information buffer the dump decodes.
constexpr uint32_t kCidSubscriberReadyStatus = 2;
constexpr uint32_t kCidRegisterState = 9;
constexpr uint32_t kCidPacketService = 10;
constexpr uint32_t kCidSignalState = 11;
constexpr uint32_t kCidConnect = 12;
constexpr uint32_t kCidIpConfiguration = 15;

// Only called once DeviceServiceId is known to be inside.
bool is_basic_connect(const Bounded& m) {
  return uuid_equals(m.bytes + kServiceIdOffset, kUuidBasicConnect);
}

// Reads the word at `offset` and, when it is inside, writes the direction
// record that introduces the word's own record.
bool introduced_word(const Bounded& m, size_t offset, const char* direction, uint32_t* v) {
  if (!m.word(offset, v)) return false;
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  return true;
}

// The service and CID records as far as they lie inside; true when both
// fields were there (every later field of these messages lies beyond them).
bool service_and_cid(const Bounded& m, const char* direction, uint32_t* cid) {
  if (!m.inside(kServiceIdOffset, kServiceIdSize)) return false;
  if (!m.word(kCidOffset, cid)) {
    dump_service(m.bytes + kServiceIdOffset, direction);
    return false;
  }
  dump_service_and_cid(m.bytes + kServiceIdOffset, *cid, direction);
  return true;
}

// The information buffer of a basic-connect command-done or indication, at
// `offset`, by its decoder. Signal state is decoded only when indicated, IP
// configuration only when answered; other CIDs and services are not decoded.
void dump_basic_connect_info(const Bounded& m, size_t offset, uint32_t info_length, uint32_t cid,
                             bool indicated, const char* direction) {
  if (info_length == 0 || !is_basic_connect(m)) return;
  const uint8_t* info = m.bytes + offset;
  const size_t info_len = m.usable(offset, info_length);
  switch (cid) {
    case kCidSubscriberReadyStatus: dump_subscriber_ready(info, info_len, direction); break;
    case kCidRegisterState: dump_register_state(info, info_len, direction); break;
    case kCidPacketService: dump_packet_service(info, info_len, direction); break;
    case kCidConnect: dump_connect(info, info_len, direction); break;
    case kCidSignalState:
      if (indicated) dump_signal_state(info, info_len, direction);
      break;
    case kCidIpConfiguration:
      if (!indicated) dump_ip_configuration(info, info_len, direction);
      break;
    default: break;
  }
}

void dump_command(const Bounded& m, const char* direction) {
  uint32_t cid = 0;
  if (!service_and_cid(m, direction, &cid)) return;
  uint32_t command_type = 0;
  if (m.word(kCommandTypeOffset, &command_type)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s CommandType = %s", direction,
            command_type != 0 ? "set" : "query");
  }
  uint32_t info_length = 0;
  if (!m.word(kInfoLengthOffset, &info_length)) return;
  LOG_NUM(LOG_NORMAL, "[tessel] InformationBufferLength = %u", info_length);

  // Connect and IP-configuration commands, set or query, open with SessionId.
  if ((cid != kCidConnect && cid != kCidIpConfiguration) || !is_basic_connect(m)) return;
  const Bounded info{m.bytes + kInfoOffset, m.usable(kInfoOffset, info_length)};
  uint32_t session_id = 0;
  if (introduced_word(info, 0, direction, &session_id)) {
    LOG_NUM(LOG_NORMAL, "[tessel] SessionId = %u", session_id);
  }
}

void dump_command_done(const Bounded& m, const char* direction) {
  uint32_t cid = 0;
  if (!service_and_cid(m, direction, &cid)) return;
  uint32_t status = 0;
  if (m.word(kCommandDoneStatusOffset, &status)) {
    LOG_TXT(LOG_NORMAL, "[tessel] %s ", direction);
    LOG_NUM(LOG_NORMAL, "[tessel] Status = %u", status);
  }
  uint32_t info_length = 0;
  if (!m.word(kInfoLengthOffset, &info_length)) return;
  LOG_NUM(LOG_NORMAL, "[tessel] InformationBufferLength = %u", info_length);
  dump_basic_connect_info(m, kInfoOffset, info_length, cid, /*indicated=*/false, direction);
}

void dump_indicate_status(const Bounded& m, const char* direction) {
  uint32_t cid = 0;
  if (!service_and_cid(m, direction, &cid)) return;
  uint32_t info_length = 0;
  if (!m.word(kIndicateInfoLengthOffset, &info_length)) return;
  LOG_TXT(LOG_NORMAL, "[tessel] %s", direction);
  LOG_NUM(LOG_NORMAL, "[tessel] InformationBufferLength = %u", info_length);
  dump_basic_connect_info(m, kIndicateInfoOffset, info_length, cid, /*indicated=*/true, direction);
}

void dump_contents(const Bounded& m, uint32_t type, const char* direction) {
  uint32_t v = 0;
  switch (type) {
    case MBIM_OPEN_MSG:
      if (introduced_word(m, kOpenMaxControlTransferOffset, direction, &v)) {
        LOG_NUM(LOG_NORMAL, "[tessel] MaxControlTransfer = %u", v);
      }
      break;
    case MBIM_OPEN_DONE:
    case MBIM_CLOSE_DONE:
      if (introduced_word(m, kDoneStatusOffset, direction, &v)) {
        LOG_NUM(LOG_NORMAL, "[tessel] Status = %u", v);
      }
      break;
    case MBIM_FUNCTION_ERROR_MSG:
      if (introduced_word(m, kErrorStatusCodeOffset, direction, &v)) {
        LOG_NUM(LOG_NORMAL, "[tessel] ErrorStatusCode = %u", v);
      }
      break;
    case MBIM_COMMAND_MSG: dump_command(m, direction); break;
    case MBIM_COMMAND_DONE: dump_command_done(m, direction); break;
    case MBIM_INDICATE_STATUS_MSG: dump_indicate_status(m, direction); break;
    default: break;  // close, host error and unknown types: the header says it all
  }
}

}  // namespace

void dump_message(const uint8_t* message, size_t held, int verbose) {
  if (verbose == 0 || message == nullptr) return;
  uint32_t type = 0;
  if (!read_le32(message, held, kMessageTypeOffset, &type)) return;
  const char* direction = (type & kModemToHostBit) != 0 ? kModemToHost : kHostToModem;

  uint32_t length = 0;
  const bool length_held = read_le32(message, held, kMessageLengthOffset, &length);
  const Bounded m{message, length_held ? std::min<size_t>(held, length) : held};

  LOG_TXT(LOG_NORMAL, "[tessel] %s", hex_line(direction, m.bytes, m.bound));
  LOG_TXT(LOG_NORMAL, "[tessel] %s Header:", direction);
  if (length_held) LOG_NUM(LOG_NORMAL, "[tessel] MessageLength = %u", length);
  LOG_TXT(LOG_NORMAL, "[tessel] MessageType =  %s", message_type_name(type));
  uint32_t transaction_id = 0;
  if (m.word(kTransactionIdOffset, &transaction_id)) {
    LOG_NUM(LOG_NORMAL, "[tessel] TransactionId = %u", transaction_id);
  }
  LOG_TXT(LOG_NORMAL, "[tessel] %s Contents:", direction);
  dump_contents(m, type, direction);
}

}  // namespace tessel

// name_tables.cpp — see name_tables.h.
#include "mbim_dump/name_tables.h"

#include <cstring>

namespace tessel {
namespace {

// ASCII only, so the comparison does not depend on the process locale.
char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equal_ignoring_case(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (ascii_lower(*a) != ascii_lower(*b)) return false;
  }
  return *a == *b;
}

}  // namespace

const char* message_type_name(uint32_t type) {
  return value_name_or(message_type_names, type, "MBIMMSGTypeUnknow");
}

const char* service_name_lookup(const char* uuid_text) {
  for (const ServiceName& row : service_names) {
    if (equal_ignoring_case(row.uuid, uuid_text)) return row.name;
  }
  return uuid_text;
}

const char* cid_name_lookup(const char* uuid_text, uint32_t cid) {
  for (const CidName& row : cid_names) {
    if (row.cid == cid && std::strcmp(row.uuid, uuid_text) == 0) return row.name;
  }
  return "Unknow";
}

}  // namespace tessel

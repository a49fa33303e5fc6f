// transaction_id.cpp — see transaction_id.h.
#include "mbim_format/transaction_id.h"

namespace tessel {
namespace {

uint32_t g_counter = 0;
uint32_t g_last = 0;

}  // namespace

uint32_t next_transaction_id() {
  if (g_counter == 0 || g_counter == 0x7FFFFFFFu) ++g_counter;
  const uint32_t id = g_counter;
  ++g_counter;  // unsigned: 0xFFFFFFFF wraps to 0, skipped on the next call
  g_last = id;
  return id;
}

uint32_t last_transaction_id() { return g_last; }

void start_transaction_ids_after(uint32_t last) { g_counter = last + 1; }

void set_transaction_counter(uint32_t value) { g_counter = value; }

}  // namespace tessel

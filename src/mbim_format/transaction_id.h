// transaction_id.h — the process-wide TransactionId counter.
//
// Responses are matched to the one pending request by TransactionId alone,
// so two values are never handed out: 0, which indications carry, and
// 0x7FFFFFFF. From program start the ids run 1, 2, … 0x7FFFFFFE, 0x80000000,
// … 0xFFFFFFFF, then 1 again.
//
// Only the main thread builds requests, always inside one API call, so the
// counter needs no lock.
#ifndef TESSEL_MBIM_FORMAT_TRANSACTION_ID_H_
#define TESSEL_MBIM_FORMAT_TRANSACTION_ID_H_

#include <cstdint>

namespace tessel {

uint32_t next_transaction_id();

// The TransactionId issued last, 0 before the first.
uint32_t last_transaction_id();

// Makes the next id the one after `last`, skipping 0 and 0x7FFFFFFF as the
// counter always does: a run whose predecessor on the device left `last`
// unanswered must not reuse it, or it would take that late answer as its own.
void start_transaction_ids_after(uint32_t last);

// Puts the counter at `value`, as if that many ids had been issued; lets
// tests reach the wrap without four billion calls.
void set_transaction_counter(uint32_t value);

}  // namespace tessel

#endif  // TESSEL_MBIM_FORMAT_TRANSACTION_ID_H_

// diag_exchange.h — one DIAG packet to the modem and its reply back, sent
// again while the modem answers BUSY; shared by the table write and read.
//
// The caller builds the raw packet (mbim_format/diag_request.h) in a buffer
// of its own; it is framed straight into each CID 25 request, so nothing
// besides the request and its answer is allocated per packet.
//
// The modem answers BUSY (MBIM Status 1) while it is still busy with an
// earlier packet; the request is sent again after 200 ms, each time as a new
// request (a new TransactionId) from the same packet. The BUSY test comes
// before the status is decoded, so a BUSY answer is neither logged as a
// status nor returned.
#ifndef TESSEL_MBIM_COMMANDS_DIAG_EXCHANGE_H_
#define TESSEL_MBIM_COMMANDS_DIAG_EXCHANGE_H_

#include "mbim_commands/command.h"
#include "mbim_format/diag_request.h"

namespace tessel {

constexpr int kMaxBusyRetries = 3;
constexpr unsigned kBusyDelayMicroseconds = 200000;

// Frames `packet` into a request, exchanges it, and sends it again after
// each BUSY answer. `*busy` counts the BUSY answers of the whole transfer.
// Returns ok with the answer; kTransfer ("[tessel] (busy 3 timers retry
// fail)") when a BUSY answer finds `*busy` above kMaxBusyRetries; else what
// finish_command returns.
Status exchange_with_retries(const DiagPacket* packet, int* busy, Answer* answer);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_DIAG_EXCHANGE_H_

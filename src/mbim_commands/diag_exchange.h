// diag_exchange.h — one DIAG packet to the modem and its reply back, sent
// again while the modem answers BUSY; shared by the table write and read.
//
// The packet is assembled in one process-wide buffer (diag_packet_buffer),
// framed straight into each CID 25 request, so nothing besides the request
// and its answer is allocated per packet.
//
// The modem answers BUSY (MBIM Status 1) while it is still busy with an
// earlier packet; the request is sent again after 200 ms, each time as a new
// request (a new TransactionId) from the same packet. The BUSY test comes
// before the status is decoded, so a BUSY answer is neither logged as a
// status nor returned.
#ifndef TESSEL_MBIM_COMMANDS_DIAG_EXCHANGE_H_
#define TESSEL_MBIM_COMMANDS_DIAG_EXCHANGE_H_

#include <cstddef>
#include <cstdint>

#include "mbim_commands/command.h"

namespace tessel {

// The raw packet buffer, kDiagPacketSize bytes.
uint8_t* diag_packet_buffer();

// Frames the first `raw_length` bytes of the packet buffer into a request,
// exchanges it, and sends it again after each BUSY answer. `*busy` counts
// the BUSY answers of the whole transfer. Returns 0 with the answer; -1
// ("[tessel] (busy 3 timers retry fail)") when a BUSY answer finds `*busy`
// above kMaxBusyRetries; else what finish_command returns.
int exchange_with_retries(size_t raw_length, int* busy, Answer* answer);

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_DIAG_EXCHANGE_H_

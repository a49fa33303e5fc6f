// transport.h — the tool's one MBIM channel to the modem.
//
// One process-wide context holds the channel (a proxy socket or the modem's
// device node), the reader thread that receives everything the modem sends,
// and the slots where a request waits for its response. The service API is
// the only caller, always under api_lock, in this order:
//   ctx_init → ctx_connect → exchanges (exchange.h) → ctx_deinit
//
// States: Unset (nothing set up) → Ready (stop pipe, lock and condition) →
// Connected (channel open, reader running). The reader may end by itself on
// a hang-up or channel error (Channel lost); a failed thread start leaves the
// channel open without a reader (Half open). Only ctx_deinit leaves those.
#ifndef TESSEL_TRANSPORT_TRANSPORT_H_
#define TESSEL_TRANSPORT_TRANSPORT_H_

#include <cstdint>

#include "mbim_format/status.h"

namespace tessel {

// The socket file of the proxy daemon, and its abstract socket's name.
constexpr char kProxySocketFile[] = "/var/volatile/mbim-proxy";
constexpr char kProxyAbstractName[] = "mbim-proxy";
constexpr char kProxyDetectCommand[] = "ps -eT |  grep mbim-proxy";

// Ok when the context is ready (also when it already was: the first verbose
// flag stays), kNoChannel with pipe's errno when the stop pipe cannot be
// created.
Status ctx_init(int verbose);

// Opens the channel named by `path` and starts the reader thread:
//   path begins "/var/volatile/mbim-proxy"  → that socket file, no fallback;
//   else, the process list shows mbim-proxy → its abstract socket;
//   else, or when that connect fails        → the device node `path`.
// A process list that cannot be read (no descriptor or process left for the
// check) fails the connect, with a record and a line on standard error: the
// node is never opened behind a proxy that may be running.
// Ok when a channel is open (or already was), kNoChannel on every failure.
Status ctx_connect(const char* path);

// Stops the reader thread, closes the channel and the stop pipe. Does nothing
// before ctx_init; the context can be set up again afterwards.
void ctx_deinit();

// True once a request was written whole and its exchange ended without its
// answer (the deadline passed, or the reader ended): the modem may still
// answer it later, to whoever then holds the channel. Cleared by ctx_deinit.
bool ctx_request_unanswered();

// The ways to the modem; kNone also for a channel handed in by
// ctx_adopt_channel.
enum class Road { kNone, kSocketFile, kAbstractSocket, kDeviceNode };

// Which road the last successful ctx_connect took.
Road ctx_road();

// Takes `fd` as the open channel and starts the reader on it, as the three
// roads do once connected; for tests and tools that open a channel of their
// own (a socketpair, a pty). `stream` tells how the reader cuts messages
// (message_splitter.h). Ok, or kNoChannel when the context is not Ready.
Status ctx_adopt_channel(int fd, bool stream);

// The reader thread's body; started by ctx_connect.
void* mbim_read_thread(void*);

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_TRANSPORT_H_

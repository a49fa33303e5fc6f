// context.h — the fields of the one TransportContext, shared by the files of
// the transport (connect, exchange, reader thread) and by nothing else.
#ifndef TESSEL_TRANSPORT_CONTEXT_H_
#define TESSEL_TRANSPORT_CONTEXT_H_

#include <pthread.h>

#include <cstdint>

#include "transport/transport.h"

namespace tessel {

struct TransportContext {
  int mbim_fd = -1;          // the channel; set only while no reader runs
  int stop_read = -1;        // stop pipe; -1 means Unset
  int stop_write = -1;
  int verbose = 0;
  bool stream = false;       // socket roads: a byte stream
  Road road = Road::kNone;
  pthread_mutex_t lock{};    // the transport lock; set up by ctx_init
  pthread_cond_t cond{};     // bound to CLOCK_MONOTONIC
  pthread_condattr_t cond_attr{};
  const uint8_t* pending = nullptr;  // request awaiting its response
  uint8_t* response = nullptr;       // copy delivered by the reader
  bool delivered = false;            // the reader matched the pending request
  bool reader_ended = false;         // the reader has stopped delivering
  bool unanswered = false;           // a request went out whole, no answer came
  bool gone_reported = false;        // the node's loss is on record (modem_gone.h)
  pthread_t reader{};
  bool reader_started = false;
};

TransportContext& transport_context();

// RAII for the transport lock.
class TransportLock {
 public:
  explicit TransportLock(TransportContext& c) : c_(c) { pthread_mutex_lock(&c_.lock); }
  ~TransportLock() { pthread_mutex_unlock(&c_.lock); }
  TransportLock(const TransportLock&) = delete;
  TransportLock& operator=(const TransportLock&) = delete;

 private:
  TransportContext& c_;
};

}  // namespace tessel

#endif  // TESSEL_TRANSPORT_CONTEXT_H_

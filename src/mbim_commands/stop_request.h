// stop_request.h — a stop signal, noted where the long transfers see it.
//
// SIGINT, SIGTERM and SIGHUP must not end a table write halfway: the
// front end's handler only notes the signal here, a transfer checks it
// between packets (never inside an exchange), and the flow then skips its
// remaining steps except switching DIAG-over-MBIM off, closes the channel
// and ends by the same signal. Safe to call from a signal handler on any
// thread.
#ifndef TESSEL_MBIM_COMMANDS_STOP_REQUEST_H_
#define TESSEL_MBIM_COMMANDS_STOP_REQUEST_H_

namespace tessel {

// Notes `signal`; the first one noted is kept.
void request_stop(int signal);

// The signal noted, or 0.
int stop_requested();

}  // namespace tessel

#endif  // TESSEL_MBIM_COMMANDS_STOP_REQUEST_H_

// stop_signals.h — what SIGINT, SIGTERM, SIGHUP and SIGPIPE do to a run.
//
// Ending the process at once in the middle of a table write would leave the
// modem with half a table and DIAG-over-MBIM on. So the three stop signals
// are only noted (RequestStop): the exchange in flight finishes, the flow
// skips its remaining steps except switching DIAG-over-MBIM off when it
// was switched on, closes the channel, and then ends the process by the
// same signal, so the caller sees what it always saw, minus the half-done
// modem. A stop signal that was ignored when the tool started (nohup)
// stays ignored. SIGPIPE is ignored: a log or output pipe whose reader went
// away must fail a write, not end the tool mid-transfer.
#ifndef TESSEL_MAIN_STOP_SIGNALS_H_
#define TESSEL_MAIN_STOP_SIGNALS_H_

namespace tessel {

// Installs the handlers; call once, before anything opens the channel.
void install_stop_signals();

// When a stop signal was noted: flushes standard output and error and ends
// the process by that signal. Returns when none was.
void end_if_stopped();

}  // namespace tessel

#endif  // TESSEL_MAIN_STOP_SIGNALS_H_

// run_state.h — this run's copy of its device's state record
// (device_state.h): read once the device lock is held, kept up to date by
// the update, and finished when the run closes the channel, still under the
// lock, so two runs never race on one record.
//
// Where: /var/lib/tessel/ (kept across a reboot of the host) when it is, or
// can be made, a directory only the effective user can write; else the
// user's lock directory. The file is named by the device's lock key.
//
// The TransactionId part serves every flow alike (an update, --check,
// --save, debug_tool): a run that finds a last id starts its ids after it,
// and on finishing notes its own last id when a request of it went
// unanswered, else drops the note (a run that sent nothing keeps it).
#ifndef TESSEL_API_RUN_STATE_H_
#define TESSEL_API_RUN_STATE_H_

namespace tessel {

constexpr char kStateDirectory[] = "/var/lib/tessel";

// Reads the record of `device` and starts the TransactionIds after the one
// it names. A record that cannot be had leaves the run as if there were none.
void run_state_load(const char* device);

// Notes the TransactionId part and writes the record if it changed.
void run_state_finish();

}  // namespace tessel

#endif  // TESSEL_API_RUN_STATE_H_

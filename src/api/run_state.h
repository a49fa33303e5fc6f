// run_state.h — this run's copy of its device's state record
// (device_state.h): read once the device lock is held, kept up to date by
// the update, and finished when the run closes the channel, still under the
// lock, so two runs never race on one record.
//
// Where: /var/lib/tessel/ when it is, or can be made, a directory only the
// effective user can write, itself or through a trusted link
// (state_directory.h); else the user's run directory (private_dir.h), which
// a reboot empties. The file is named by the device's lock key.
//
// The TransactionId part serves every flow alike (an update, --check,
// --save, debug_tool). A device on which no run ever left a request
// unanswered has no such part, and every run starts its ids at 1. Once a
// run left one unanswered, the record keeps the highest id any run on the
// device used, and every later run starts after it: a late answer to any
// earlier run can then never pass for a later run's own.
#ifndef TESSEL_API_RUN_STATE_H_
#define TESSEL_API_RUN_STATE_H_

namespace tessel {

// Reads the record of `device` and starts the TransactionIds after the one
// it names. A record that cannot be had leaves the run as if there were none.
void run_state_load(const char* device);

// Notes the TransactionId part and writes the record if it changed.
void run_state_finish();

}  // namespace tessel

#endif  // TESSEL_API_RUN_STATE_H_

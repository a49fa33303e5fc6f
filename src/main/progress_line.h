// progress_line.h — how far a table write has got, on the operator's
// terminal.
//
// While a table is written and standard error is a terminal, one line
//   tessel: writing the table: 524288 of 1048576 bytes (50%), 96.0 KiB/s
// is redrawn in place ("\r", then the text, then "\033[K" to wipe what a
// longer line left) at most ten times a second, so a fast modem does not
// flood the terminal, and wiped when the write ends, however it ends.
// Standard error that is not a terminal (a pipe, a file, the journal) never
// gets it: a log must not fill with carriage returns.
#ifndef TESSEL_MAIN_PROGRESS_LINE_H_
#define TESSEL_MAIN_PROGRESS_LINE_H_

namespace tessel {

// Has every later table write report to the line when standard error is a
// terminal; does nothing otherwise.
void show_table_progress();

}  // namespace tessel

#endif  // TESSEL_MAIN_PROGRESS_LINE_H_

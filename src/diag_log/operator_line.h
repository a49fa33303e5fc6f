// operator_line.h — the tool's own lines on standard error ("tessel: ...",
// "sar_tool: ..."), beside the log records.
//
// Under systemd, standard error is often the journal's stream, and every
// line there gets the unit's one priority unless it begins with an
// sd-daemon prefix ("<3>"). A failure must reach `journalctl -p err`, so
// when standard error is the journal (JOURNAL_STREAM names its device and
// inode, as systemd sets it) each line is headed by its priority; anywhere
// else it is written exactly as given. The host stand-in of the log library
// heads the records the same way, through the same check
// (platform/libdiag/stderr_log.cpp).
#ifndef TESSEL_DIAG_LOG_OPERATOR_LINE_H_
#define TESSEL_DIAG_LOG_OPERATOR_LINE_H_

namespace tessel {

// The syslog priorities the operator's lines use.
enum class LinePriority {
  kError = 3,   // the run failed, or refused its arguments
  kNotice = 5,  // a wait the operator should hear of
};

// True when JOURNAL_STREAM is "<device>:<inode>" (decimal) and names the
// file that standard error is open on.
bool stderr_is_journal();

// Writes `format` with its arguments, as printf does, on standard error in
// one piece; `format` ends with its own "\n". A journal prefix, when one is
// due, comes first.
void operator_line(LinePriority priority, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace tessel

#endif  // TESSEL_DIAG_LOG_OPERATOR_LINE_H_

// log_records.h — the log records a run of the built tool wrote on standard
// error, read back.
//
// The host build's log writes one line per record:
//   E src/main:57 [tessel] Init err=-1
// A record whose text holds line feeds spans several lines: the lines after
// its first that do not start a record of their own continue it. Lines
// before the first record (a perror line, the option parser's diagnostic)
// belong to no record. The line number is dropped, so a test does not break
// when a source line moves.
#ifndef TESSEL_TESTS_SUPPORT_LOG_RECORDS_H_
#define TESSEL_TESTS_SUPPORT_LOG_RECORDS_H_

#include <string>
#include <vector>

namespace log_records {

struct Record {
  char level;        // 'I' or 'E'; '?' for a line before the first record
  std::string file;  // "src/mbim_ctx"; empty for '?'
  std::string text;  // the first line's text, "[tessel] ..."; the whole line for '?'
  std::string more;  // the lines that continue it, each after a '\n'
};

// The records on `err`, in order.
std::vector<Record> parse(const std::string& err);

// "<I|E> <file> <text><more>", or "? <line>" for a line before the first record.
std::string joined(const Record& record);

}  // namespace log_records

#endif  // TESSEL_TESTS_SUPPORT_LOG_RECORDS_H_

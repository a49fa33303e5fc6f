// log_records.cpp — see log_records.h.
#include "log_records.h"

#include <regex>

namespace log_records {

std::vector<Record> parse(const std::string& err) {
  // "<I|E> <file>:<line> <text>"; "." would stop at a CR, which AT replies carry.
  static const std::regex kRecordStart("([IE]) ([^ :]+):[0-9]+ ([^\\n]*)");
  std::vector<Record> out;
  size_t start = 0;
  while (start < err.size()) {
    size_t end = err.find('\n', start);
    if (end == std::string::npos) end = err.size();
    const std::string line = err.substr(start, end - start);
    start = end + 1;
    std::smatch m;
    if (std::regex_match(line, m, kRecordStart)) {
      out.push_back({m[1].str()[0], m[2].str(), m[3].str(), ""});
    } else if (!out.empty() && out.back().level != '?') {
      out.back().more += "\n" + line;
    } else {
      out.push_back({'?', "", line, ""});
    }
  }
  return out;
}

std::string joined(const Record& r) {
  if (r.level == '?') return "? " + r.text;
  return std::string(1, r.level) + " " + r.file + " " + r.text + r.more;
}

}  // namespace log_records

// wire_log.cpp — appends RX/TX/DROP lines to the --log file.
#include "modem_sim/wire_log.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#include "modem_sim/notes.h"

namespace tessel::sim {

int WireLog::open(const std::string& path) {
  if (path.empty()) return 0;
  fd_.reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
  if (!fd_.valid()) {
    note("cannot open log file %s: %s", path.c_str(), std::strerror(errno));
    return -1;
  }
  return 0;
}

void WireLog::line(const char* tag, const uint8_t* bytes, size_t length) {
  if (!fd_.valid()) return;
  std::string text = tag + hex_text(bytes, length) + "\n";
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd_.get(), text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      note("cannot write the log file: %s", std::strerror(errno));
      return;
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace tessel::sim

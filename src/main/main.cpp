// main.cpp — the process entry: "--command <sub-command> <parameters>".
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "diag_log/operator_line.h"
#include "main/stop_signals.h"
#include "main/sub_commands.h"
#include "main/usage.h"

namespace {

// A tool started with standard input, output or error closed would hand
// those numbers to the first descriptors it opens (the stop pipe, the
// modem's node), and its output and log lines would go into the modem
// channel. Each closed one is opened first; open takes the lowest free
// number, the one just found closed. Standard output goes to /dev/full,
// where writing fails as it would have on the closed descriptor, so that a
// strict run still learns that its result went nowhere; the other two go
// to /dev/null.
void open_closed_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int opened = fd == 1 ? open("/dev/full", O_WRONLY) : -1;
    if (opened < 0) opened = open("/dev/null", O_RDWR);
    if (opened >= 0 && opened != fd) close(opened);
  }
}

}  // namespace

int main(int argc, char** argv) {
  open_closed_standard_descriptors();
  // Line by line, so the operator's lines and the log's (standard error on
  // the host) keep their order in a pipe or a journal too.
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  tessel::install_stop_signals();
  if (argc > 2 && std::strcmp(argv[1], "--command") == 0) {
    if (std::strcmp(argv[2], "sar_tool") == 0) return tessel::sar_tool_main(argc - 2, argv + 2);
    if (std::strcmp(argv[2], "debug_tool") == 0) return tessel::debug_tool_main(argc - 2, argv + 2);
    // An unknown sub-command does nothing; a caller that asked for a strict
    // run learns that nothing ran.
    if (!tessel::sar_tool_strict_arguments(argc - 2, argv + 2)) return 0;
    tessel::operator_line(tessel::LinePriority::kError, "tessel: unknown sub-command '%s'\n",
                          argv[2]);
  }
  tessel::print_usage(argv[0] != nullptr ? argv[0] : "tessel");
  return -1;
}

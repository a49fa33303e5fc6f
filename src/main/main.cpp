// main.cpp — the process entry: "--command <sub-command> <parameters>".
//
// The two sub-commands, sar_tool and debug_tool, drive the modem through the
// service API; until that layer is in place the entry prints its usage.
#include <cstring>

#include "main/usage.h"

int main(int argc, char** argv) {
  tessel::print_usage(argc > 0 ? argv[0] : "tessel");
  return -1;
}

// main.cpp — tessel-modem-sim: an MBIM modem with a SAR table store, played
// in software for the tool's tests, its demo, and trying it without hardware.
// `tessel-modem-sim --help` says how to run it.
#include "modem_sim/options.h"
#include "modem_sim/server.h"

int main(int argc, char** argv) {
  tessel::sim::Options options;
  switch (tessel::sim::parse_options(argc, argv, &options)) {
    case tessel::sim::kOptionsOk: break;
    case tessel::sim::kOptionsHelpShown: return tessel::sim::kExitOk;
    default: return tessel::sim::kExitUsage;
  }
  return tessel::sim::run_server(options);
}

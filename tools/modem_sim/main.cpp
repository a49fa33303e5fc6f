// main.cpp — tessel-modem-sim: an MBIM modem with a SAR table store, played
// in software for the tool's tests, its demo, and trying it without hardware.
// `tessel-modem-sim --help` says how to run it.
//
// The simulator keeps its own framing and layouts on purpose: it must not
// share the tool's mistakes. Its HDLC framing (hdlc.h), DIAG packets
// (diag_packets.h), service answers and message builders are written apart
// from src/, so a fault on either side shows up as a refused frame or a
// failed check instead of passing on both unnoticed. From the tool it takes
// only the MBIM MessageType values and header offsets (mbim_format), the
// little-endian readers (byte_order), MD5, and the builder of option tables
// (main/option_table.h), which touches no wire.
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

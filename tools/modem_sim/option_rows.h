// option_rows.h — the simulator's options, one row each (main/option_table.h):
// the long-option table parse_options reads and the --help text are both
// built from these rows, and the docs check holds tessel-modem-sim(1)
// against them. Text rows carry the headings and paragraphs between them.
#ifndef TESSEL_TOOLS_MODEM_SIM_OPTION_ROWS_H_
#define TESSEL_TOOLS_MODEM_SIM_OPTION_ROWS_H_

#include <cstddef>

#include "main/option_table.h"

namespace tessel::sim {

// What getopt_long returns for each option: past any character, since the
// simulator has no short options.
enum OptionId {
  kOptPty = 1000,
  kOptAbstract,
  kOptSocket,
  kOptLog,
  kOptExitOnStdinEof,
  kOptQuiet,
  kOptItem,
  kOptTableIn,
  kOptTableOut,
  kOptReadChunk,
  kOptReadLie,
  kOptFailWriteChunk,
  kOptFailReads,
  kOptAtReply,
  kOptAtEmpty,
  kOptBusy,
  kOptStatus,
  kOptFunctionError,
  kOptDelayMs,
  kOptDelay,
  kOptNoReply,
  kOptHangupAt,
  kOptMuteAt,
  kOptHangupOnMute,
  kOptInject,
  kOptInjectSameWrite,
  kOptBadSignature,
  kOptMd5Length,
  kOptMd5AfterApply,
  kOptMd5Frozen,
  kOptHostile,
  kOptHostileThenSilent,
  kOptSeed,
  kOptHelp,
  kOptLate,
  kOptClosed,
  kOptUsbip,
  kOptUnplugAfterChunk,
  kOptReplugAfter,
};

// Where --help starts each option's help.
constexpr size_t kHelpColumn = 24;

constexpr OptionRow kSimOptions[] = {
    text_row("Usage: tessel-modem-sim (--pty | --abstract | --socket PATH | --usbip) [options]\n"
             "\n"
             "Plays an MBIM modem with a SAR table store, for tests and for trying tessel\n"
             "without hardware. Once listening it prints one line on stdout:\n"
             "  READY <path>      the pty slave path, @mbim-proxy, or the socket PATH\n"
             "  READY <busid> port <N>\n"
             "                    --usbip: the USB device's bus ID (its name under\n"
             "                    /sys/bus/usb/devices) and vhci_hcd port; again at each re-plug\n"
             "\n"
             "Serving (exactly one):\n"),
    {"pty", kOptPty, nullptr,
     "open a pty pair, serve on the master; give the tool the\n"
     "slave path (-d /dev/pts/N). The slave stays open inside\n"
     "the simulator, so the tool may open and close it freely."},
    {"abstract", kOptAbstract, nullptr,
     "listen on the abstract UNIX socket \"mbim-proxy\" and name\n"
     "the process mbim-proxy, so the tool's process-list check\n"
     "finds it."},
    {"socket", kOptSocket, "PATH",
     "listen on a UNIX socket file (a stale socket at PATH is\n"
     "replaced; any other file there is refused). Removed on exit."},
    {"usbip", kOptUsbip, nullptr,
     "plug in as a USB MBIM device through the kernel's USB/IP\n"
     "virtual host controller (root; vhci_hcd loaded: modprobe\n"
     "vhci-hcd, the simulator never loads modules). cdc_mbim\n"
     "binds and cdc-wdm makes the node 1-2 s after READY: it is\n"
     "/dev/<name> for the name listed in\n"
     "/sys/bus/usb/devices/<busid>:1.0/usbmisc/ (cdc-wdmN)."},
    text_row("  Socket modes take one client at a time, one after another. Stored tables,\n"
             "  the DIAG switch and knob counters last for the life of the process (with\n"
             "  --usbip, across re-plugs, as a modem's flash).\n"
             "\n"
             "General:\n"),
    {"log", kOptLog, "FILE",
     "append one line per message: 'RX <hex>' for each message\n"
     "received, 'TX <hex>' for each message sent (replies,\n"
     "injected ones, and one line per --hostile transfer),\n"
     "'DROP <hex>' for bytes discarded because their\n"
     "MessageLength was below 12 or above 65536, or because\n"
     "the client left in the middle of a message.\n"
     "Hex is lower case without separators."},
    {"exit-on-stdin-eof", kOptExitOnStdinEof, nullptr,
     "exit (status 0) when stdin reaches end of file."},
    {"quiet", kOptQuiet, nullptr,
     "no notes on stderr (errors that stop the simulator are\n"
     "still reported). A harness that captures stderr without\n"
     "reading it should use this: a full pipe would block."},
    {"seed", kOptSeed, "N",
     "seed of the random bytes (--inject garbage, --hostile), so a\n"
     "run's bytes are the same every time (default 1)."},
    {"help", kOptHelp, nullptr,
     "this text."},
    text_row("  SIGTERM and SIGINT end the simulator with status 0 (with --usbip, once the\n"
             "  device is unplugged and its port free). Notes on what it received and why it\n"
             "  refused something go to stderr.\n"
             "\n"
             "USB device (--usbip):\n"
             "  Each SEND_ENCAPSULATED_COMMAND carries one MBIM message; each message for the\n"
             "  host is announced by one RESPONSE_AVAILABLE on the interrupt endpoint and\n"
             "  handed whole to the next GET_ENCAPSULATED_RESPONSE (empty when none waits).\n"
             "  An unplug closes the USB/IP socket: the kernel removes the device and its node.\n"),
    {"unplug-after-chunk", kOptUnplugAfterChunk, "N",
     "unplug right after the N-th DIAG write chunk of the process\n"
     "arrives: the chunk is stored (and --table-out written), its\n"
     "answer is never sent. Once per process."},
    {"replug-after", kOptReplugAfter, "MS",
     "after an unplug, plug in again as a new device after MS\n"
     "milliseconds (0 to 600000); at most 16 re-plugs. Stored\n"
     "tables and knob counters stay. Without it the simulator\n"
     "exits (status 0) after an unplug."},
    text_row("  SIGUSR1               unplug at once.\n"
             "  The knobs apply as on a pty, except: --hangup-at N unplugs instead of answering\n"
             "  the N-th message of a plug; --delay and --delay-ms hold the reply back while the\n"
             "  device goes on serving the host's other transfers; each --inject message is a\n"
             "  message of its own for the host (--inject-same-write: all in the reply's\n"
             "  transfer); --hostile and --mute-at are refused (a burst is byte-stream writes\n"
             "  timed against the client's reads; a USB device's hang-up is its unplug). A\n"
             "  message longer than the host's 4096-byte read (a long --at-reply or\n"
             "  --md5-length) is cut to it, with a note.\n"
             "\n"
             "SAR table (vendor service QMBE 2d0c12c9-0e6a-495a-915c-8d174fe5d63c):\n"),
    {"item", kOptItem, "N",
     "the item whose table DIAG reads return and --table-in /\n"
     "--table-out hold (default 48001). Tables are keyed by\n"
     "the item's low 16 bits, which is all a write packet carries."},
    {"table-in", kOptTableIn, "FILE",
     "preload the table of --item from FILE."},
    {"table-out", kOptTableOut, "FILE",
     "after every DIAG write chunk for --item, rewrite FILE with\n"
     "the whole stored table."},
    {"read-chunk", kOptReadChunk, "N",
     "table bytes per DIAG read reply, 1 to 2000 (default 1000).\n"
     "A whole reply must fit the tool's 4096-byte receive\n"
     "buffer, which drops a longer message: at worst every\n"
     "byte is escaped, and 48 + 2 * (20 + 2000 + 2) + 1 =\n"
     "4093 bytes."},
    {"read-lie", kOptReadLie, "KIND",
     "DIAG read replies after the first one lie (the first\n"
     "always announces the table's size), so each lie needs\n"
     "a table longer than --read-chunk. KIND is one of:\n"
     "  total-changes  BytesRemainingLen is one more than what\n"
     "                 remains: the total announced grows;\n"
     "  overlong       the last reply carries one byte (00)\n"
     "                 more than remains;\n"
     "  empty          the replies carry no data while bytes\n"
     "                 remain (BytesRemainingLen stays true)."},
    text_row("  A table longer than 65535 bytes cannot be described in the 16-bit fields:\n"
             "  BytesRemainingLen is capped at 65535, so the first reply announces more than\n"
             "  65535 bytes (e.g. --table-in of 70000 bytes: 1000 read, 65535 remaining).\n"),
    {"fail-write-chunk", kOptFailWriteChunk, "N",
     "answer the N-th DIAG write chunk this process receives\n"
     "(1-based, counted over every client and item) with Status 2\n"
     "(FAILURE) and drop it; the chunks before it stay stored.\n"
     "Once only: a later write goes through."},
    {"fail-reads", kOptFailReads, nullptr,
     "answer every DIAG read with Status 2 (FAILURE): a table that\n"
     "cannot be read out."},
    {"bad-signature", kOptBadSignature, nullptr,
     "DIAG write replies carry 0x0F instead of 0x0E at byte 8\n"
     "(FCS still right)."},
    {"md5-length", kOptMd5Length, "N",
     "CID 22 answers N bytes, 0 to 4096: the digest cut, or\n"
     "padded with zeros."},
    {"md5-after-apply", kOptMd5AfterApply, nullptr,
     "CID 22 reports the MD5 of an item's table as it stood when\n"
     "last applied (CID 23): at start the --table-in table for\n"
     "--item, nothing (MD5 of no bytes) for the others. A write\n"
     "changes it only once the item is applied."},
    {"md5-frozen", kOptMd5Frozen, nullptr,
     "CID 22 reports, for the life of the process, the digest\n"
     "it first reported for each item, whatever is written or\n"
     "applied since. With --md5-after-apply, that first digest\n"
     "is the one of the applied table."},
    text_row("  CID 21 set 00 12 / 00 22 switches DIAG-over-MBIM on / off; CID 21 query answers\n"
             "  the word 0x00001200 when on and 0 when off. CID 22 set (item, big-endian)\n"
             "  answers the MD5 of that item's table (never written: MD5 of nothing). CID 23\n"
             "  set (item low 16 bits, big-endian) applies; empty answer. CID 25 set carries one\n"
             "  HDLC frame: escaped bytes, no opening flag, closing 7e, FCS-16 low byte first.\n"
             "  A bad frame, FCS or packet is answered with Status 2 (FAILURE).\n"
             "\n"
             "AT tunnel (6427015f-579d-48f5-8c54-f43ed1e76f83, CID 8 set):\n"),
    {"at-reply", kOptAtReply, "TEXT",
     "reply text after the leading zero word (default \\r\\nOK\\r\\n);\n"
     "escapes \\r \\n \\t \\0 \\\\ \\xHH. No NUL is added."},
    {"at-empty", kOptAtEmpty, nullptr,
     "answer with InformationBufferLength 0."},
    text_row("\n"
             "Also answered: MBIM_OPEN_MSG / MBIM_CLOSE_MSG (Status 0); basic connect CID 1 query\n"
             "(device caps), CID 2 query (subscriber ready status: no SIM), CID 3 query/set\n"
             "(radio state), CID 4 query (PIN: none, unlocked), CID 16 query (device services:\n"
             "every service and CID answered here), CID 19 set (subscribe list); proxy\n"
             "control CID 1 set; MS SAR control CID 1 set. Anything else: Status 9\n"
             "(NO_DEVICE_SUPPORT). Malformed requests: Status 2, or MBIM_FUNCTION_ERROR_MSG 3\n"
             "(LENGTH_MISMATCH) / 2 (FRAGMENT_OUT_OF_SEQUENCE) when the MBIM header is wrong.\n"
             "\n"
             "Fault knobs (a CID matches that CID number in any service; repeat for more CIDs):\n"),
    {"busy", kOptBusy, "CID:K",
     "answer Status 1 (BUSY) to the next K requests of CID."},
    {"status", kOptStatus, "CID:S",
     "answer Status S, empty buffer, to every request of CID."},
    {"function-error", kOptFunctionError, "CID:CODE",
     "answer MBIM_FUNCTION_ERROR_MSG with ErrorStatusCode CODE."},
    {"no-reply", kOptNoReply, "CID",
     "never answer CID (the request is still logged)."},
    {"late", kOptLate, "CID:S",
     "hold back the answer to the first request of CID (a\n"
     "COMMAND_DONE with Status S, empty buffer, its TransactionId)\n"
     "and send it, in a write of its own, as soon as the next\n"
     "request of CID arrives, ahead of that request's answer (and\n"
     "its --delay): a modem whose answer comes after the client\n"
     "gave up, perhaps to the next client."},
    {"delay-ms", kOptDelayMs, "MS",
     "wait MS milliseconds before every reply."},
    {"delay", kOptDelay, "CID:MS",
     "wait MS before replies to CID (instead of --delay-ms)."},
    {"hangup-at", kOptHangupAt, "N",
     "close the connection instead of answering the N-th message\n"
     "received on it (1-based; every message counts). With --pty\n"
     "the whole run is one connection: the master is closed, the\n"
     "slave hangs up, and the simulator exits with status 0.\n"
     "With --usbip: unplug (see --replug-after)."},
    {"mute-at", kOptMuteAt, "N",
     "act on the N-th request of the simulator's whole run (every\n"
     "connection counts) as usual, but never answer it: a modem\n"
     "whose answer is lost, or whose client died waiting."},
    {"hangup-on-mute", kOptHangupOnMute, nullptr,
     "and close that connection then (as --hangup-at does)."},
    {"closed", kOptClosed, nullptr,
     "start with the MBIM function closed, as a modem just\n"
     "plugged in: every MBIM_COMMAND_MSG is answered with\n"
     "MBIM_FUNCTION_ERROR_MSG 5 (NOT_OPENED), same TransactionId,\n"
     "until an MBIM_OPEN_MSG opens it; an MBIM_CLOSE_MSG closes\n"
     "it again. Without it the function is always open."},
    {"inject", kOptInject, "KIND[,KIND]",
     "before each reply send: indication, unrelated, len0, len5,\n"
     "len100000, garbage (see below). Repeatable."},
    {"inject-same-write", kOptInjectSameWrite, nullptr,
     "put injected messages in the reply's own write() (default:\n"
     "one write each, injected ones first)."},
    text_row("  Precedence for one request: closed, late, no-reply, busy, function-error, status, answer.\n"
             "  Injected kinds: indication = MBIM_INDICATE_STATUS_MSG, TransactionId 0, basic\n"
             "  connect CID 11 (signal state, 20 bytes); unrelated = MBIM_COMMAND_DONE with\n"
             "  TransactionId request + 1000; len0/len5/len100000 = a 12-byte header whose\n"
             "  MessageLength is 0, 5 or 100000; garbage = 64 random bytes.\n"
             "\n"
             "Hostile peer:\n"),
    {"hostile", kOptHostile, "MS",
     "after every message received, spend about MS milliseconds\n"
     "(1 to 10000) sending random and malformed traffic, then\n"
     "stay quiet 30 ms and answer as the other knobs say. A burst\n"
     "opens with a header whose MessageLength cannot be right,\n"
     "ends with an ordinary indication or answer to another\n"
     "TransactionId, and mixes, in writes of various sizes:\n"
     "random bytes; headers whose MessageLength is 0, 5, 11, 12,\n"
     "100000 or more than follows; messages with the request's\n"
     "TransactionId that cannot answer it (MBIM_OPEN_DONE,\n"
     "MBIM_CLOSE_DONE, an indication, a host error, the request\n"
     "echoed; at least one per burst, in a write of its own);\n"
     "the answer's message type with that TransactionId cut\n"
     "short (on a pty a transfer that ends early; in one burst of\n"
     "eight a MessageLength below the type's size, which a client\n"
     "may take for the answer and must then fail);\n"
     "MBIM_COMMAND_DONEs whose InformationBufferLength lies; for\n"
     "CID 25, write replies whose FCS is wrong; AT replies of\n"
     "random length (up to 6000 bytes). These last three carry\n"
     "other TransactionIds. On a socket the bytes keep the stream\n"
     "in step for a client that follows MessageLength: a claim\n"
     "of more bytes is filled up, and a MessageLength below 12\n"
     "travels alone in one write with 20 ms of quiet after it.\n"
     "One note per burst counts the pieces, those carrying the\n"
     "request's TransactionId and those that could pass for its\n"
     "answer. --seed fixes every byte; only the client's read\n"
     "boundaries vary from run to run."},
    {"hostile-then-silent", kOptHostileThenSilent, nullptr,
     "with --hostile: send the bursts but never the answers."},
    text_row("\n"
             "Exit status: 0 on a signal, stdin EOF, --pty hang-up or an unplug not followed by\n"
             "a re-plug; 1 when the endpoint, log or table file cannot be set up (with --usbip:\n"
             "vhci_hcd missing, no free port, or the attach refused); 2 for a bad command line.\n"
             "\n"
             "Examples:\n"
             "  tessel-modem-sim --pty --log /tmp/sim.log &\n"
             "      READY /dev/pts/7\n"
             "  tessel --command sar_tool -d /dev/pts/7 -f table.bin\n"
             "\n"
             "  tessel-modem-sim --socket /var/volatile/mbim-proxy --table-out /tmp/stored.bin &\n"
             "  tessel --command sar_tool -d /var/volatile/mbim-proxy -f table.bin\n"
             "  cmp table.bin /tmp/stored.bin\n"
             "\n"
             "  tessel-modem-sim --abstract --busy 25:2 --inject indication,len5 &\n"
             "  tessel --command sar_tool -d /dev/null -f table.bin   # any existing -d path\n"
             "\n"
             "  tessel-modem-sim --socket /var/volatile/mbim-proxy --table-in table.bin \\\n"
             "      --read-chunk 2000 &\n"
             "  tessel --command sar_tool -d /var/volatile/mbim-proxy --save backup.bin\n"
             "  cmp table.bin backup.bin\n"
             "\n"
             "  modprobe vhci-hcd\n"
             "  tessel-modem-sim --usbip --unplug-after-chunk 3 --replug-after 2000 &\n"
             "      READY 3-1 port 0\n"
             "  ls /sys/bus/usb/devices/3-1:1.0/usbmisc/   # cdc-wdm0, once bound\n"
             "  tessel --command sar_tool -d /dev/cdc-wdm0 -f table.bin   # fails: unplugged\n"
             "\n"
             "  tessel-modem-sim --pty --hostile 150 --seed 7\n"
             "  tessel --command debug_tool -d /dev/pts/7 -a ATI   # exits 0 whatever arrives\n"
             "\n"
             "  tessel-modem-sim --pty --at-reply '\\r\\n+CSQ: 20,99\\r\\n\\r\\nOK\\r\\n'\n"
             "  tessel --command debug_tool -d /dev/pts/7 -a AT+CSQ\n"),
};

}  // namespace tessel::sim

#endif  // TESSEL_TOOLS_MODEM_SIM_OPTION_ROWS_H_

// options.cpp — reads the simulator's command line into Options.
//
// Numbers are decimal and checked whole; a mistyped knob must stop the
// simulator at once rather than leave a test running against a modem that
// behaves differently from what the test believes it asked for.
#include "modem_sim/options.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "modem_sim/option_rows.h"

namespace tessel::sim {
namespace {

constexpr auto kLongOptions = tessel::long_options<kSimOptions>();

struct InjectName {
  const char* name;
  InjectKind kind;
};

constexpr InjectName kInjectNames[] = {
    {"indication", InjectKind::kIndication}, {"unrelated", InjectKind::kUnrelated},
    {"len0", InjectKind::kLength0},          {"len5", InjectKind::kLength5},
    {"len100000", InjectKind::kLength100000}, {"garbage", InjectKind::kGarbage},
};

struct ReadLieName {
  const char* name;
  ReadLie lie;
};

constexpr ReadLieName kReadLieNames[] = {
    {"total-changes", ReadLie::kTotalChanges},
    {"overlong", ReadLie::kOverlong},
    {"empty", ReadLie::kEmpty},
};

// The longest --at-reply text: an answer must stay a sane MBIM message.
constexpr size_t kMaxAtReply = 8192;
// The largest DIAG read chunk. On a device node the tool reads 4096 bytes at
// a time and drops a message longer than that, so a whole reply must fit
// 4096 bytes even if every byte were escaped: the 48-byte MBIM header, the
// 20-byte packet header, the chunk and the 2-byte FCS each doubled, and the
// flag: 48 + 2 * (20 + 2000 + 2) + 1 = 4093 (--read-lie overlong sends one
// byte more: 4095).
constexpr uint32_t kMaxReadChunk = 2000;
// The largest --md5-length.
constexpr int32_t kMaxMd5Length = 4096;
// The longest --hostile burst.
constexpr uint32_t kMaxHostileMs = 10000;
// The longest pause between an unplug and the re-plug: ten minutes.
constexpr uint32_t kMaxReplugAfterMs = 600000;

bool parse_u32(const char* text, uint32_t* out) {
  if (text == nullptr || *text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || *end != '\0' || v > 0xFFFFFFFFull) return false;
  *out = static_cast<uint32_t>(v);
  return true;
}

// A decimal number from `low` to `high`, both included.
bool parse_u32_in(const char* text, uint32_t low, uint32_t high, uint32_t* out) {
  uint32_t v = 0;
  if (!parse_u32(text, &v) || v < low || v > high) return false;
  *out = v;
  return true;
}

bool parse_i32(const char* text, int32_t* out) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || v < INT32_MIN || v > INT32_MAX) return false;
  *out = static_cast<int32_t>(v);
  return true;
}

// "CID:VALUE", both decimal.
bool parse_cid_value(const char* text, CidValue* out) {
  const char* colon = std::strchr(text, ':');
  if (colon == nullptr) return false;
  std::string cid(text, static_cast<size_t>(colon - text));
  return parse_u32(cid.c_str(), &out->cid) && parse_u32(colon + 1, &out->value);
}

bool parse_inject_list(const char* text, std::vector<InjectKind>* out) {
  std::string list(text);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string name = list.substr(start, comma - start);
    bool known = false;
    for (const InjectName& entry : kInjectNames) {
      if (name == entry.name) {
        out->push_back(entry.kind);
        known = true;
      }
    }
    if (!known) return false;
    start = comma + 1;
  }
  return true;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The long name of option `id`, from the rows.
const char* option_name(int id) {
  for (const OptionRow& row : kSimOptions) {
    if (row.code == id && row.long_name != nullptr) return row.long_name;
  }
  return "?";
}

int bad_value(int id, const char* value, const char* expected) {
  std::fprintf(stderr, "tessel-modem-sim: --%s: bad value \"%s\" (expected %s)\n",
               option_name(id), value, expected);
  return kOptionsBad;
}

// The list a CID knob adds to.
std::vector<CidValue>* cid_knob(int id, Options* out) {
  switch (id) {
    case kOptBusy: return &out->busy;
    case kOptStatus: return &out->status;
    case kOptFunctionError: return &out->function_error;
    case kOptDelay: return &out->delay;
    case kOptLate: return &out->late;
    default: return nullptr;
  }
}

// Reads option `id` and its `value` into `*out`, counting the serving modes
// in `*modes`. kOptionsOk, kOptionsHelpShown, or kOptionsBad after a
// diagnostic; an id of no row is left to the caller.
int take_option(int id, const char* value, Options* out, int* modes) {
  if (std::vector<CidValue>* list = cid_knob(id, out)) {
    CidValue knob{};
    if (!parse_cid_value(value, &knob)) return bad_value(id, value, "CID:NUMBER");
    list->push_back(knob);
    return kOptionsOk;
  }
  switch (id) {
    case kOptPty: out->mode = ServeMode::kPty; ++*modes; break;
    case kOptAbstract: out->mode = ServeMode::kAbstract; ++*modes; break;
    case kOptSocket:
      out->mode = ServeMode::kSocket;
      out->socket_path = value;
      ++*modes;
      break;
    case kOptUsbip: out->mode = ServeMode::kUsbip; ++*modes; break;
    case kOptUnplugAfterChunk:
    case kOptFailWriteChunk: {
      uint32_t* chunk =
          id == kOptUnplugAfterChunk ? &out->unplug_after_chunk : &out->fail_write_chunk;
      if (!parse_u32_in(value, 1, UINT32_MAX, chunk))
        return bad_value(id, value, "a chunk number from 1");
      break;
    }
    case kOptReplugAfter:
      if (!parse_u32_in(value, 0, kMaxReplugAfterMs, &out->replug_after_ms))
        return bad_value(id, value, "0 to 600000 milliseconds");
      out->replug = true;
      break;
    case kOptLog: out->log_path = value; break;
    case kOptExitOnStdinEof: out->exit_on_stdin_eof = true; break;
    case kOptQuiet: out->quiet = true; break;
    case kOptItem:
      if (!parse_i32(value, &out->item)) return bad_value(id, value, "a signed 32-bit number");
      break;
    case kOptTableIn: out->table_in = value; break;
    case kOptTableOut: out->table_out = value; break;
    case kOptReadChunk:
      if (!parse_u32_in(value, 1, kMaxReadChunk, &out->read_chunk))
        return bad_value(id, value,
                         "1 to 2000: a reply must fit one 4096-byte read even when every byte is escaped");
      break;
    case kOptReadLie: {
      bool known = false;
      for (const ReadLieName& entry : kReadLieNames) {
        if (std::strcmp(value, entry.name) == 0) {
          out->read_lie = entry.lie;
          known = true;
        }
      }
      if (!known) return bad_value(id, value, "total-changes, overlong or empty");
      break;
    }
    case kOptFailReads: out->fail_reads = true; break;
    case kOptAtReply: {
      size_t bad_at = 0;
      if (unescape_text(value, &out->at_reply, &bad_at) != 0) {
        std::fprintf(stderr,
                     "tessel-modem-sim: --at-reply: bad escape at character %zu of \"%s\" "
                     "(known: \\r \\n \\t \\0 \\\\ \\xHH)\n",
                     bad_at + 1, value);
        return kOptionsBad;
      }
      if (out->at_reply.size() > kMaxAtReply) return bad_value(id, value, "at most 8192 bytes");
      break;
    }
    case kOptAtEmpty: out->at_empty = true; break;
    case kOptDelayMs:
      if (!parse_u32(value, &out->delay_ms)) return bad_value(id, value, "milliseconds");
      break;
    case kOptNoReply: {
      uint32_t cid = 0;
      if (!parse_u32(value, &cid)) return bad_value(id, value, "a CID number");
      out->no_reply.push_back(cid);
      break;
    }
    case kOptHangupAt:
    case kOptMuteAt:
      if (!parse_u32_in(value, 1, UINT32_MAX, id == kOptHangupAt ? &out->hangup_at : &out->mute_at))
        return bad_value(id, value, "a request number from 1");
      break;
    case kOptHangupOnMute: out->hangup_on_mute = true; break;
    case kOptInject:
      if (!parse_inject_list(value, &out->inject))
        return bad_value(id, value,
                         "a comma list of indication, unrelated, len0, len5, len100000, garbage");
      break;
    case kOptClosed: out->closed = true; break;
    case kOptInjectSameWrite: out->inject_same_write = true; break;
    case kOptBadSignature: out->bad_signature = true; break;
    case kOptMd5Length:
      if (!parse_i32(value, &out->md5_length) || out->md5_length < 0 ||
          out->md5_length > kMaxMd5Length)
        return bad_value(id, value, "0 to 4096");
      break;
    case kOptMd5AfterApply: out->md5_after_apply = true; break;
    case kOptMd5Frozen: out->md5_frozen = true; break;
    case kOptHostile:
      if (!parse_u32_in(value, 1, kMaxHostileMs, &out->hostile_ms))
        return bad_value(id, value, "1 to 10000 milliseconds");
      break;
    case kOptHostileThenSilent: out->hostile_then_silent = true; break;
    case kOptSeed:
      if (!parse_u32(value, &out->seed)) return bad_value(id, value, "0 to 4294967295");
      break;
    case kOptHelp:
      print_usage(stdout);
      return kOptionsHelpShown;
  }
  return kOptionsOk;
}

// Refuses, with a diagnostic, options that cannot go together.
int check_together(const Options& out, int modes) {
  if (out.hostile_then_silent && out.hostile_ms == 0) {
    std::fprintf(stderr, "tessel-modem-sim: --hostile-then-silent needs --hostile MS\n");
    return kOptionsBad;
  }
  if (modes != 1) {
    std::fprintf(stderr,
                 "tessel-modem-sim: give exactly one of --pty, --abstract, --socket PATH, --usbip\n"
                 "Try 'tessel-modem-sim --help'.\n");
    return kOptionsBad;
  }
  if (out.mode != ServeMode::kUsbip && (out.unplug_after_chunk != 0 || out.replug)) {
    std::fprintf(stderr,
                 "tessel-modem-sim: --unplug-after-chunk and --replug-after need --usbip\n");
    return kOptionsBad;
  }
  // A burst is a run of byte-stream writes timed against the client's reads;
  // a USB device hands out whole messages only when the host asks for them.
  if (out.mode == ServeMode::kUsbip && out.hostile_ms != 0) {
    std::fprintf(stderr, "tessel-modem-sim: --hostile does not apply to --usbip\n");
    return kOptionsBad;
  }
  // A USB device's unplug is its hang-up: --unplug-after-chunk serves there.
  if (out.mode == ServeMode::kUsbip && out.mute_at != 0) {
    std::fprintf(stderr, "tessel-modem-sim: --mute-at does not apply to --usbip\n");
    return kOptionsBad;
  }
  if (out.hangup_on_mute && out.mute_at == 0) {
    std::fprintf(stderr, "tessel-modem-sim: --hangup-on-mute needs --mute-at N\n");
    return kOptionsBad;
  }
  return kOptionsOk;
}

}  // namespace

int unescape_text(const std::string& text, std::string* out, size_t* bad_at) {
  out->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out->push_back(text[i]);
      continue;
    }
    *bad_at = i;
    if (i + 1 >= text.size()) return -1;
    char e = text[++i];
    switch (e) {
      case 'r': out->push_back('\r'); break;
      case 'n': out->push_back('\n'); break;
      case 't': out->push_back('\t'); break;
      case '0': out->push_back('\0'); break;
      case '\\': out->push_back('\\'); break;
      case 'x': {
        if (i + 2 >= text.size()) return -1;
        int hi = hex_digit(text[i + 1]);
        int lo = hex_digit(text[i + 2]);
        if (hi < 0 || lo < 0) return -1;
        out->push_back(static_cast<char>(hi << 4 | lo));
        i += 2;
        break;
      }
      default:
        return -1;
    }
  }
  return 0;
}

int parse_options(int argc, char** argv, Options* out) {
  int modes = 0;
  opterr = 0;
  optind = 1;
  int id;
  while ((id = getopt_long(argc, argv, "", kLongOptions.data(), nullptr)) != -1) {
    if (id == '?') {
      // getopt_long reports both an unknown option and a missing value as '?'.
      std::fprintf(stderr,
                   "tessel-modem-sim: unknown option or missing value: %s\n"
                   "Try 'tessel-modem-sim --help'.\n",
                   argv[optind - 1]);
      return kOptionsBad;
    }
    const int taken = take_option(id, optarg, out, &modes);
    if (taken != kOptionsOk) return taken;
  }
  if (optind < argc) {
    std::fprintf(stderr, "tessel-modem-sim: unexpected argument \"%s\"\n", argv[optind]);
    return kOptionsBad;
  }
  return check_together(*out, modes);
}

}  // namespace tessel::sim

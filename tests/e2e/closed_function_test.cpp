// A modem just plugged in: its MBIM function is closed, and it refuses every
// command with MBIM_FUNCTION_ERROR_MSG NOT_OPENED until the host opens it
// (the simulator's --closed). On the device node every job opens it at its
// first command and sends that command again; the modem sees the command,
// one MBIM_OPEN_MSG, the command under the next TransactionId, and then the
// rest of the job exactly as an open modem would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2e.h"
#include "byte_order/byte_order.h"

namespace e2e {
namespace {

uint32_t tid_of(const Bytes& m) { return tessel::get_le32(m.data() + 8); }

// MBIM_OPEN_MSG as the modem must receive it (little-endian u32 fields).
Bytes open_message(uint32_t tid) {
  Bytes m = {0x01, 0x00, 0x00, 0x00,   // MessageType: MBIM_OPEN_MSG
             0x10, 0x00, 0x00, 0x00,   // MessageLength 16
             0x00, 0x00, 0x00, 0x00,   // TransactionId, below
             0x00, 0x10, 0x00, 0x00};  // MaxControlTransfer 4096
  tessel::put_le32(m.data() + 8, tid);
  return m;
}

class ClosedFunction : public ModemTest {};

TEST_F(ClosedFunction, EveryJobOpensItOnceAtItsFirstCommandAndSucceeds) {
  const process::TempFile held(pattern(3000, 61));  // what the modem holds
  const process::TempFile other(pattern(2000, 62));
  const process::TempFile saved;
  struct Case {
    const char* what;
    std::vector<std::string> args;  // after "--command", the sub-command, "-d" and the node
    std::string first;              // the job's first command, refused then sent again
    std::string summary;            // the start of the summary line
  };
  const Case cases[] = {
      {"update", {"sar_tool", "-f", other.path(), "--strict"}, "22 0000bb81", "result=updated "},
      {"check", {"sar_tool", "-f", held.path(), "--check"}, "22 0000bb81", "result=up-to-date "},
      {"query", {"sar_tool", "--query"}, "22 0000bb81", "result=queried "},
      {"save", {"sar_tool", "--save", saved.path()}, "21 0012", "result=saved "},
      {"AT command", {"debug_tool", "-a", "ATI", "--strict"}, "at 00000000415449", "result=ok "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto modem = start_modem({"--closed", "--table-in", held.path()});
    ASSERT_TRUE(modem->ready()) << modem->notes();
    std::vector<std::string> args = {"--command", c.args[0], "-d", modem->path()};
    args.insert(args.end(), c.args.begin() + 1, c.args.end());

    const Outcome r = tessel(args);

    EXPECT_EQ(r.result.status, 0) << r.result.err << modem->notes();
    EXPECT_THAT(r.result.out, HasSubstr("\n" + c.summary));
    EXPECT_THAT(records(r.result.err),
                IsSupersetOf({protocol_record("[tessel] the modem's MBIM function was closed; opening it"),
                              protocol_record("[tessel] the modem's MBIM function is open; sending "
                                              "the command again")}));
    const auto rx = modem->rx();
    ASSERT_GE(rx.size(), 3u);
    EXPECT_EQ(describe(rx[0]), c.first);
    EXPECT_EQ(rx[1], open_message(tid_of(rx[0]) + 1));
    EXPECT_EQ(describe(rx[2]), c.first);
    EXPECT_EQ(tid_of(rx[2]), tid_of(rx[0]) + 2);
    EXPECT_EQ(std::count_if(rx.begin(), rx.end(), [](const Bytes& m) { return m[0] == 0x01; }), 1)
        << "one MBIM_OPEN_MSG, and no MBIM_CLOSE_MSG either: the function stays open";
    EXPECT_EQ(std::count_if(rx.begin(), rx.end(), [](const Bytes& m) { return m[0] == 0x02; }), 0);
  }
  EXPECT_EQ(saved.read(), held.read());
}

}  // namespace
}  // namespace e2e

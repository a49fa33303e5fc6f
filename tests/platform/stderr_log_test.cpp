// The host stand-in of the log library: one whole line per record on
// standard error, whatever the record's length, headed by its priority when
// standard error is the journal.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "libdiag.h"

namespace {

// Runs `body` with standard error sent to a file; returns what was written.
// `journal` is what JOURNAL_STREAM says meanwhile (unset when null); "FILE"
// stands for that file's own "<device>:<inode>".
template <typename Body>
std::string stderr_of(Body body, const char* journal = nullptr) {
  char path[] = "/tmp/tessel-stderr-log-XXXXXX";
  const int fd = mkstemp(path);
  EXPECT_GE(fd, 0);
  std::string stream = journal != nullptr ? journal : "";
  if (stream == "FILE") {
    struct stat st;
    EXPECT_EQ(fstat(fd, &st), 0);
    stream = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
  }
  if (journal != nullptr) {
    setenv("JOURNAL_STREAM", stream.c_str(), 1);
  } else {
    unsetenv("JOURNAL_STREAM");
  }
  std::fflush(stderr);
  const int saved = dup(2);
  dup2(fd, 2);
  body();
  unsetenv("JOURNAL_STREAM");
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  std::string text;
  lseek(fd, 0, SEEK_SET);
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(fd);
  unlink(path);
  return text;
}

const msg_const_type kError = {57, 88, 8, "[tessel] Init err=%d", "src/main"};
const msg_const_type kTwoLineFeeds = {120, 88, 2, "[tessel] use mbim-proxy\n\n", "src/mbim_ctx"};
const msg_const_type kText = {33, 88, 2, "[tessel] Recv < %s\n", "src/main"};
const msg_const_type kVar = {9, 88, 2, "[tessel] %d %u 0x%02x", "src/mbim_dump"};

TEST(StderrLog, EachRecordIsOneLineWithLevelAndCallSite) {
  const std::string out = stderr_of([] {
    msg_send_1(&kError, static_cast<uint32_t>(-19));
    msg_send(&kTwoLineFeeds);
    msg_send_var(&kVar, 3, 0xFFFFFFFFu, 7u, 0xABu);
    msg_sprintf(&kText, "OK");
  });
  EXPECT_EQ(out,
            "E src/main:57 [tessel] Init err=-19\n"
            "I src/mbim_ctx:120 [tessel] use mbim-proxy\n"
            "I src/mbim_dump:9 [tessel] -1 7 0xab\n"
            "I src/main:33 [tessel] Recv < OK\n");
}

// The journal takes "<N>" at a line's start as its priority: 3 for an error
// record, 7 for the message dump, 6 for the rest. Only when
// JOURNAL_STREAM names standard error itself, as systemd sets it.
TEST(StderrLog, InTheJournalEachLineCarriesItsRecordsPriority) {
  const auto records = [] {
    msg_send_1(&kError, static_cast<uint32_t>(-19));
    msg_send(&kTwoLineFeeds);
    msg_send_var(&kVar, 3, 0xFFFFFFFFu, 7u, 0xABu);
    msg_sprintf(&kText, "OK");
  };
  const std::string plain =
      "E src/main:57 [tessel] Init err=-19\n"
      "I src/mbim_ctx:120 [tessel] use mbim-proxy\n"
      "I src/mbim_dump:9 [tessel] -1 7 0xab\n"
      "I src/main:33 [tessel] Recv < OK\n";
  struct Case {
    const char* journal;
    std::string out;
  };
  const Case cases[] = {
      {"FILE",
       "<3>E src/main:57 [tessel] Init err=-19\n"
       "<6>I src/mbim_ctx:120 [tessel] use mbim-proxy\n"
       "<7>I src/mbim_dump:9 [tessel] -1 7 0xab\n"
       "<6>I src/main:33 [tessel] Recv < OK\n"},
      {nullptr, plain},
      {"1:2", plain},                // another file: a journal stream passed down
      {"", plain},
      {"12", plain},
      {"12:", plain},
      {":12", plain},
      {"99999999999999999999:1", plain},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stderr_of(records, c.journal), c.out) << (c.journal ? c.journal : "unset");
  }
}

TEST(StderrLog, LinesAroundAndFarBeyondTheStackBufferArriveWhole) {
  // The prefix "I src/main:33 " and "[tessel] Recv < " take 30 bytes; the
  // stand-in builds lines of up to 512 bytes on the stack.
  for (size_t length : {480u, 481u, 482u, 483u, 5000u, 70000u}) {
    std::string reply(length, 'r');
    reply.back() = 'Z';
    const std::string out = stderr_of([&] { msg_sprintf(&kText, reply.c_str()); });
    EXPECT_EQ(out, "I src/main:33 [tessel] Recv < " + reply + "\n") << length;
  }
}

}  // namespace

// process.h — running the built tool and the modem simulator from tests, as
// a user or a script would: arguments in, exit status, standard output and
// standard error out.
#ifndef TESSEL_TESTS_PROCESS_H_
#define TESSEL_TESTS_PROCESS_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace process {

struct Result {
  int status = -1;         // exit status 0..255, or -1 when killed or not run
  int signal = 0;          // the signal that ended it, 0 when it exited
  bool timed_out = false;  // killed after the time limit
  std::string out;         // standard output
  std::string err;         // standard error
};

struct Options {
  std::vector<std::string> env;  // "NAME=value" added to (or replacing in) the environment
  std::vector<std::string> unset;  // names removed from the environment
  int timeout_ms = 20000;
  uid_t uid = static_cast<uid_t>(-1);  // run as this user (needs root), when set
  // A program of this machine (a shell, python3): never run through the
  // emulator that runs the target's binaries (TESSEL_TEST_EMULATOR).
  bool native = false;
};

// `argv` as this machine runs it when it names a target's binary: behind
// TESSEL_TEST_EMULATOR's words when the tests run under emulation.
std::vector<std::string> with_emulator(std::vector<std::string> argv);

// Runs argv[0] with argv, waits for it (up to the time limit) and collects
// its output.
Result run(const std::vector<std::string>& argv, const Options& options = Options());

// Runs the built tool with `args` after its own path. VERBOSE is removed
// from the environment unless `options.env` sets it, so a VERBOSE left in
// the caller's shell cannot switch the message dump on.
Result run_tool(const std::vector<std::string>& args, Options options = Options());

// The same, started in the background: for runs side by side, and for a
// signal sent in the middle of one. The time limit counts from the start.
// Killed (SIGKILL) when destroyed before wait().
// Run as another user (Options::uid), an executable named by its path runs
// from a copy in a fresh directory under /tmp that anyone may enter: the
// build may lie in a directory that user cannot enter (a clone in /root).
// The copy goes with the object.
class Child {
 public:
  explicit Child(const std::vector<std::string>& argv, const Options& options = Options());
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t pid() const { return pid_; }
  // Collects the output until the child ends (or the time limit kills it).
  Result wait();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  int64_t until_ms_ = 0;  // the time limit, on the steady clock
  std::string copy_;  // the executable's reachable copy, when run as another user
};

// The built tool started in the background, VERBOSE as for run_tool().
std::unique_ptr<Child> start_tool(const std::vector<std::string>& args,
                                  Options options = Options());

// A tessel-modem-sim child: started with `args`, ready once it printed its
// READY line; killed (SIGTERM, then SIGKILL) when destroyed. Its log file
// (--log) is always set and read back by rx().
class Simulator {
 public:
  // With `uid` set (root only), the simulator runs as that user, from a
  // copy of its executable that user can reach (as Child does).
  explicit Simulator(const std::vector<std::string>& args, uid_t uid = static_cast<uid_t>(-1));
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  bool ready() const { return !path_.empty(); }
  const std::string& path() const { return path_; }  // READY's path
  pid_t pid() const { return pid_; }
  // Requests received so far, each as its bytes.
  std::vector<std::vector<unsigned char>> rx() const;
  // Pieces it received and dropped as no MBIM message (its log's DROP lines).
  size_t drops() const;
  // Everything the simulator wrote on standard error.
  std::string notes() const;
  void stop();

 private:
  pid_t pid_ = -1;
  int out_fd_ = -1;
  int in_fd_ = -1;  // its stdin; closing it ends the simulator
  std::string path_;
  std::string log_;
  std::string err_;
  std::string copy_;  // as in Child
};

// `n` bytes of a fixed pseudo-random sequence, different per `seed`: table
// files that do not repeat, so a misplaced chunk shows.
std::vector<unsigned char> pattern(size_t n, uint32_t seed);

// A file under /tmp removed when the object goes.
class TempFile {
 public:
  explicit TempFile(const std::vector<unsigned char>& bytes = {});
  ~TempFile();
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  const std::string& path() const { return path_; }
  std::vector<unsigned char> read() const;

 private:
  std::string path_;
};

}  // namespace process

#endif  // TESSEL_TESTS_PROCESS_H_

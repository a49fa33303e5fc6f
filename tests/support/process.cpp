// process.cpp — see process.h.
#include "process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace process {
namespace {

using Clock = std::chrono::steady_clock;

std::vector<std::string> environment(const Options& o) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool drop = false;
    for (const auto& u : o.unset) drop |= name == u;
    for (const auto& s : o.env) drop |= name == s.substr(0, s.find('='));
    if (!drop) env.push_back(entry);
  }
  env.insert(env.end(), o.env.begin(), o.env.end());
  return env;
}

std::vector<char*> pointers(std::vector<std::string>& v) {
  std::vector<char*> p;
  for (auto& s : v) p.push_back(&s[0]);
  p.push_back(nullptr);
  return p;
}

// Copies the executable `exe` into a fresh directory under /tmp with mode
// 0755 (mkdtemp makes it 0700), keeping its name: a user other than root
// then reaches it wherever the build lies. Returns the copy's path, or ""
// when the copy failed (the original then runs, and the test sees why).
std::string reachable_copy(const std::string& exe) {
  char dir[] = "/tmp/tessel-exe-XXXXXX";
  if (mkdtemp(dir) == nullptr) return "";
  const std::string path = std::string(dir) + exe.substr(exe.rfind('/'));
  std::ifstream in(exe, std::ios::binary);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
  bool ok = in.good() && fd >= 0 && chmod(dir, 0755) == 0;
  char buf[65536];
  while (ok && in.read(buf, sizeof buf).gcount() > 0) {
    const ssize_t n = in.gcount();
    ok = write(fd, buf, static_cast<size_t>(n)) == n;
  }
  if (fd >= 0) ok = close(fd) == 0 && ok;
  if (!ok) {
    unlink(path.c_str());
    rmdir(dir);
    return "";
  }
  return path;
}

// Removes a copy made by reachable_copy, and its directory.
void remove_copy(std::string* path) {
  if (path->empty()) return;
  unlink(path->c_str());
  rmdir(path->substr(0, path->rfind('/')).c_str());
  path->clear();
}

void drain(int fd, std::string* into) {
  char buf[4096];
  const ssize_t n = read(fd, buf, sizeof buf);
  if (n > 0) into->append(buf, static_cast<size_t>(n));
}

}  // namespace

// TESSEL_TEST_EMULATOR (e.g. "qemu-arm -L /usr/arm-linux-gnueabihf") runs
// the target's binaries when the tests themselves run under emulation.
std::vector<std::string> with_emulator(std::vector<std::string> argv) {
  const char* emulator = std::getenv("TESSEL_TEST_EMULATOR");
  if (emulator == nullptr || *emulator == '\0') return argv;
  std::vector<std::string> words;
  std::istringstream in(emulator);
  for (std::string w; in >> w;) words.push_back(w);
  words.insert(words.end(), argv.begin(), argv.end());
  return words;
}

Result run(const std::vector<std::string>& argv, const Options& options) {
  return Child(argv, options).wait();
}

namespace {

std::vector<std::string> tool_argv(const std::vector<std::string>& args, Options* options) {
  std::vector<std::string> argv = {TESSEL_BIN};
  argv.insert(argv.end(), args.begin(), args.end());
  options->unset.push_back("VERBOSE");  // options->env still adds its own value back
  return argv;
}

}  // namespace

Result run_tool(const std::vector<std::string>& args, Options options) {
  const std::vector<std::string> argv = tool_argv(args, &options);
  return run(argv, options);
}

std::unique_ptr<Child> start_tool(const std::vector<std::string>& args, Options options) {
  const std::vector<std::string> argv = tool_argv(args, &options);
  return std::make_unique<Child>(argv, options);
}

Child::Child(const std::vector<std::string>& argv, const Options& options) {
  until_ms_ = std::chrono::duration_cast<std::chrono::milliseconds>(
                  (Clock::now() + std::chrono::milliseconds(options.timeout_ms)).time_since_epoch())
                  .count();
  int out[2], err[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  if (pipe2(err, O_CLOEXEC) != 0) {
    close(out[0]);
    close(out[1]);
    return;
  }
  std::vector<std::string> args = argv;
  if (options.uid != static_cast<uid_t>(-1) && !args.empty() && args[0].find('/') != std::string::npos) {
    copy_ = reachable_copy(args[0]);
    if (!copy_.empty()) args[0] = copy_;
  }
  if (!options.native) args = with_emulator(args);
  std::vector<std::string> env = environment(options);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    const int null = open("/dev/null", O_RDONLY);
    if (null >= 0) dup2(null, 0);
    if (options.uid != static_cast<uid_t>(-1)) {
      if (setgid(options.uid) != 0 || setuid(options.uid) != 0) _exit(126);
    }
    auto a = pointers(args);
    auto e = pointers(env);
    execvpe(a[0], a.data(), e.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  pid_ = pid;
  out_ = out[0];
  err_ = err[0];
}

Child::~Child() {
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) close(out_);
  if (err_ >= 0) close(err_);
  remove_copy(&copy_);
}

Result Child::wait() {
  Result result;
  if (pid_ <= 0) return result;
  const pid_t pid = pid_;
  const auto until = Clock::time_point(std::chrono::milliseconds(until_ms_));
  bool out_open = true, err_open = true;
  while (out_open || err_open) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      result.timed_out = true;
      break;
    }
    pollfd p[2] = {{out_open ? out_ : -1, POLLIN, 0}, {err_open ? err_ : -1, POLLIN, 0}};
    if (poll(p, 2, static_cast<int>(left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (!(p[i].revents & (POLLIN | POLLHUP))) continue;
      std::string* into = i == 0 ? &result.out : &result.err;
      const size_t before = into->size();
      drain(p[i].fd, into);
      if (into->size() == before) (i == 0 ? out_open : err_open) = false;
    }
  }
  close(out_);
  close(err_);
  out_ = err_ = -1;
  int status = 0;
  waitpid(pid, &status, 0);
  pid_ = -1;
  result.status = WIFEXITED(status) && !result.timed_out ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) && !result.timed_out ? WTERMSIG(status) : 0;
  return result;
}

Simulator::Simulator(const std::vector<std::string>& args, uid_t uid) {
  char log[] = "/tmp/tessel-sim-log-XXXXXX";
  const int lfd = mkstemp(log);
  if (lfd >= 0) {
    // A log the user cannot write stops the simulator, which then never
    // says READY: the test sees that through ready().
    if (uid != static_cast<uid_t>(-1) && fchown(lfd, uid, uid) != 0) unlink(log);
    close(lfd);
  }
  log_ = log;
  char err[] = "/tmp/tessel-sim-err-XXXXXX";
  const int efd = mkstemp(err);
  err_ = err;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  if (uid != static_cast<uid_t>(-1)) copy_ = reachable_copy(TESSEL_MODEM_SIM_BIN);
  const std::string exe = copy_.empty() ? TESSEL_MODEM_SIM_BIN : copy_;
  std::vector<std::string> argv = {exe, "--log", log_, "--exit-on-stdin-eof"};
  argv.insert(argv.end(), args.begin(), args.end());
  argv = with_emulator(argv);
  int in[2];
  if (pipe2(in, O_CLOEXEC) != 0) return;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    if (efd >= 0) dup2(efd, 2);
    if (uid != static_cast<uid_t>(-1) && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(126);
    auto a = pointers(argv);
    execvp(a[0], a.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (efd >= 0) close(efd);
  out_fd_ = out[0];
  // The write end of stdin stays open in this process for the simulator's
  // life; if the test dies, the simulator sees EOF and exits.
  in_fd_ = in[1];
  std::string line;
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < until && line.find('\n') == std::string::npos) {
    pollfd p = {out_fd_, POLLIN, 0};
    if (poll(&p, 1, 100) > 0) {
      const size_t before = line.size();
      drain(out_fd_, &line);
      if (line.size() == before) break;
    }
  }
  if (line.rfind("READY ", 0) == 0) path_ = line.substr(6, line.find('\n') - 6);
}

Simulator::~Simulator() {
  stop();
  unlink(log_.c_str());
  unlink(err_.c_str());
  remove_copy(&copy_);
}

void Simulator::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      break;
    }
    usleep(10000);
  }
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  if (out_fd_ >= 0) close(out_fd_);
  out_fd_ = -1;
  if (in_fd_ >= 0) close(in_fd_);
  in_fd_ = -1;
}

std::vector<std::vector<unsigned char>> Simulator::rx() const {
  std::vector<std::vector<unsigned char>> out;
  std::ifstream in(log_);
  std::string kind, hex;
  while (in >> kind >> hex) {
    if (kind != "RX") continue;
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
      bytes.push_back(static_cast<unsigned char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16)));
    out.push_back(bytes);
  }
  return out;
}

size_t Simulator::drops() const {
  std::ifstream in(log_);
  size_t n = 0;
  std::string kind, hex;
  while (in >> kind >> hex) n += kind == "DROP";
  return n;
}

std::string Simulator::notes() const {
  std::ifstream in(err_);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TempFile::TempFile(const std::vector<unsigned char>& bytes) {
  char name[] = "/tmp/tessel-test-XXXXXX";
  const int fd = mkstemp(name);
  path_ = name;
  if (fd < 0) return;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
}

TempFile::~TempFile() { unlink(path_.c_str()); }

std::vector<unsigned char> TempFile::read() const {
  std::ifstream in(path_, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<unsigned char> pattern(size_t n, uint32_t seed) {
  std::vector<unsigned char> b(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& v : b) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    v = static_cast<unsigned char>(x >> 11);
  }
  return b;
}

}  // namespace process

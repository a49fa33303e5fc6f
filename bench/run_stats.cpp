// run_stats.cpp — runs one command and reports what it cost, for scripts/bench.
//
//   tessel-run-stats <program> [args...]
//
// prints one line on standard error after the command ends:
//   RUNSTATS status=<n> wall_us=<n> cpu_us=<n> self_cpu_us=<n> maxrss_kib=<n> self_hwm_kib=<n>
//
//   wall_us       from fork to the command's end
//   cpu_us        user + system time from wait4: the command and every
//                 descendant it waited for (what GNU time reports as %U + %S)
//   maxrss_kib    ru_maxrss from wait4: the largest of the command and those
//                 descendants (GNU time's %M)
//   self_cpu_us   user + system time of the command's own threads only
//   self_hwm_kib  the command's own peak resident set (VmHWM)
//
// The last two are read while the command stands at its exit, before its
// memory is released: the command runs traced, stopped only at each exec, on
// signals (passed on unchanged) and at exit; the processes it starts are not
// traced. tessel runs `ps` through a shell
// at connect; that pipeline's memory and time show in the first two figures
// and not in the last two, which is how the tool's own cost is told apart.
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

long long now_us() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

long long tv_us(const timeval& t) { return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_usec; }

// VmHWM of `pid` in KiB, or -1.
long read_hwm_kib(pid_t pid) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
  FILE* f = std::fopen(path, "r");
  if (f == nullptr) return -1;
  char line[256];
  long kib = -1;
  while (std::fgets(line, sizeof line, f) != nullptr) {
    if (std::strncmp(line, "VmHWM:", 6) == 0) {
      kib = std::strtol(line + 6, nullptr, 10);
      break;
    }
  }
  std::fclose(f);
  return kib;
}

// CPU time of every thread of `pid`, living or ended, children excluded.
long long process_cpu_us(pid_t pid) {
  clockid_t clock;
  if (clock_getcpuclockid(pid, &clock) != 0) return -1;
  timespec t{};
  if (clock_gettime(clock, &t) != 0) return -1;
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <program> [args...]\n", argv[0]);
    return 2;
  }
  const long long start = now_us();
  const pid_t pid = fork();
  if (pid < 0) {
    std::perror("fork");
    return 2;
  }
  if (pid == 0) {
    ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
    execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }

  long hwm = -1;
  long long self_cpu = -1;
  int status = 0;
  rusage usage{};
  bool options_set = false;
  for (;;) {
    if (wait4(pid, &status, 0, &usage) < 0) {
      std::perror("wait4");
      return 2;
    }
    if (WIFEXITED(status) || WIFSIGNALED(status)) break;
    if (!WIFSTOPPED(status)) continue;
    const int sig = WSTOPSIG(status);
    int pass = 0;
    const int event = status >> 16;
    if (sig == SIGTRAP && !options_set) {  // stopped at the first exec
      const long options = PTRACE_O_TRACEEXIT | PTRACE_O_TRACEEXEC | PTRACE_O_EXITKILL;
      ptrace(PTRACE_SETOPTIONS, pid, nullptr, reinterpret_cast<void*>(options));
      options_set = true;
    } else if (sig == SIGTRAP && event == PTRACE_EVENT_EXIT) {
      hwm = read_hwm_kib(pid);
      self_cpu = process_cpu_us(pid);
    } else if (sig == SIGTRAP && event == PTRACE_EVENT_EXEC) {
      // a later exec of the same process (a wrapper such as taskset)
    } else {
      pass = sig;  // a real signal: deliver it
    }
    ptrace(PTRACE_CONT, pid, nullptr, reinterpret_cast<void*>(static_cast<long>(pass)));
  }
  const long long wall = now_us() - start;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::fprintf(stderr,
               "RUNSTATS status=%d wall_us=%lld cpu_us=%lld self_cpu_us=%lld maxrss_kib=%ld "
               "self_hwm_kib=%ld\n",
               code, wall, tv_us(usage.ru_utime) + tv_us(usage.ru_stime), self_cpu, usage.ru_maxrss, hwm);
  return code;
}

// exchange_floor.cpp — what one request/response exchange costs on this
// machine before any of the tool's work, for scripts/bench.
//
//   tessel-exchange-floor [--log] <exchanges>
//
// Does what the transport does for every write chunk, and nothing else: a
// sender thread writes a 1110-byte request to a pty slave under a mutex and
// waits on a CLOCK_MONOTONIC condition with a 30-second deadline; a reader
// thread polls the slave and a stop pipe, reads the 64-byte answer, takes the
// mutex and signals. The far end is a forked process that answers every read
// at once, as the simulator does. With --log each exchange also writes the
// two records the tool writes per exchange, as lines on standard error.
//
// Prints one line on standard output:
//   FLOOR exchanges=<n> cpu_us=<per exchange> wall_us=<per exchange>
// cpu_us is this process's CPU time (both threads) over the exchanges alone,
// start-up excluded; the far end's time is not in it.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t kRequestBytes = 1110;  // a framed 1024-byte chunk in its COMMAND_MSG
constexpr size_t kAnswerBytes = 64;     // the COMMAND_DONE that answers it

pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t g_cond;
bool g_pending = false;
int g_slave = -1;
int g_stop[2] = {-1, -1};
bool g_log = false;

long long now_us(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<long long>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

void* reader(void*) {
  char buf[4096];
  for (;;) {
    pollfd entries[2] = {{g_slave, POLLIN, 0}, {g_stop[0], POLLIN, 0}};
    if (poll(entries, 2, -1) < 1) break;
    if ((entries[0].revents | entries[1].revents) & (POLLERR | POLLHUP | POLLNVAL)) break;
    if (entries[1].revents & POLLIN) break;
    const ssize_t n = read(g_slave, buf, sizeof buf);
    if (n < 1) break;
    if (g_log) std::fprintf(stderr, "I src/mbim_ctx:55 [tessel] read=%d MessageLength=%d\n",
                            static_cast<int>(n), static_cast<int>(n));
    pthread_mutex_lock(&g_lock);
    if (g_pending) {
      g_pending = false;
      pthread_cond_signal(&g_cond);
    }
    pthread_mutex_unlock(&g_lock);
  }
  pthread_mutex_lock(&g_lock);
  pthread_cond_signal(&g_cond);
  pthread_mutex_unlock(&g_lock);
  return nullptr;
}

// The far end: answers every read with kAnswerBytes until the pty closes.
void answer_forever(int master) {
  char in[4096];
  char out[kAnswerBytes] = {};
  for (;;) {
    const ssize_t n = read(master, in, sizeof in);
    if (n < 1) _exit(0);
    if (write(master, out, sizeof out) != static_cast<ssize_t>(sizeof out)) _exit(1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  if (arg < argc && std::strcmp(argv[arg], "--log") == 0) {
    g_log = true;
    ++arg;
  }
  const long exchanges = arg < argc ? std::strtol(argv[arg], nullptr, 10) : 0;
  if (exchanges < 1) {
    std::fprintf(stderr, "usage: %s [--log] <exchanges>\n", argv[0]);
    return 2;
  }

  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    std::perror("pty");
    return 1;
  }
  g_slave = open(ptsname(master), O_RDWR | O_NOCTTY);
  termios raw{};
  if (g_slave < 0 || tcgetattr(g_slave, &raw) != 0) {
    std::perror("pty slave");
    return 1;
  }
  cfmakeraw(&raw);
  tcsetattr(g_slave, TCSANOW, &raw);

  const pid_t peer = fork();
  if (peer < 0) {
    std::perror("fork");
    return 1;
  }
  if (peer == 0) {
    close(g_slave);
    answer_forever(master);
  }

  pthread_condattr_t attr;
  pthread_condattr_init(&attr);
  pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
  pthread_cond_init(&g_cond, &attr);
  if (pipe(g_stop) != 0) return 1;
  pthread_t thread;
  if (pthread_create(&thread, nullptr, reader, nullptr) != 0) return 1;

  char request[kRequestBytes];
  std::memset(request, 0x5A, sizeof request);
  int failures = 0;
  const long long cpu_start = now_us(CLOCK_PROCESS_CPUTIME_ID);
  const long long wall_start = now_us(CLOCK_MONOTONIC);
  for (long i = 0; i < exchanges; ++i) {
    pthread_mutex_lock(&g_lock);
    if (g_log) std::fprintf(stderr, "I src/mbim_ctx:50 [tessel] MessageLength:%d\n",
                            static_cast<int>(sizeof request));
    g_pending = true;
    if (write(g_slave, request, sizeof request) != static_cast<ssize_t>(sizeof request)) ++failures;
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += 30;
    if (pthread_cond_timedwait(&g_cond, &g_lock, &deadline) != 0 || g_pending) ++failures;
    g_pending = false;
    pthread_mutex_unlock(&g_lock);
  }
  const long long cpu = now_us(CLOCK_PROCESS_CPUTIME_ID) - cpu_start;
  const long long wall = now_us(CLOCK_MONOTONIC) - wall_start;

  if (write(g_stop[1], "q", 1) != 1) ++failures;
  pthread_join(thread, nullptr);
  close(g_slave);
  close(master);
  kill(peer, SIGTERM);
  waitpid(peer, nullptr, 0);
  if (failures != 0) {
    std::fprintf(stderr, "%d exchanges failed\n", failures);
    return 1;
  }
  std::printf("FLOOR exchanges=%ld cpu_us=%.2f wall_us=%.2f\n", exchanges,
              static_cast<double>(cpu) / exchanges, static_cast<double>(wall) / exchanges);
  return 0;
}

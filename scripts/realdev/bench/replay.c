/* replay.c — the bare client of the real-driver benchmark: the same
 * exchanges as one tessel run, on the same device node, and nothing else.
 *
 *   tessel-replay <device node> <wire log>
 *
 * The wire log is the simulator's (--log) of one tessel run: its "RX <hex>"
 * lines are the messages the tool sent, in order. Each is written to the
 * node in one write, then the node is read until the answer with the same
 * TransactionId comes (MBIM_COMMAND_DONE for a command, MBIM_OPEN_DONE for
 * an open; indications are skipped), up to 5 s; then the next. One thread,
 * blocking I/O with poll: the least a client can do per exchange.
 *
 * Prints one line: REPLAY exchanges=<n> wall_us=<the exchanges alone>.
 * Exit status 0, or 1 with a message when a write, a read or a wait fails.
 */
#define _POSIX_C_SOURCE 200809L
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { kMaxMessage = 4096, kMaxMessages = 4096 };

static uint32_t le32(const uint8_t* p) {
  return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24;
}

static long long now_us(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000000 + t.tv_nsec / 1000;
}

static int hex_nibble(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

/* The messages of the log's RX lines, each at most kMaxMessage bytes. */
static uint8_t* g_messages[kMaxMessages];
static size_t g_lengths[kMaxMessages];

static int load(const char* path, size_t* count) {
  FILE* in = fopen(path, "r");
  if (!in) return -1;
  static char line[2 * 65536 + 16];
  *count = 0;
  while (fgets(line, sizeof line, in)) {
    if (strncmp(line, "RX ", 3) != 0) continue;
    size_t digits = strcspn(line + 3, "\r\n");
    if (digits % 2 != 0 || digits / 2 < 12 || digits / 2 > kMaxMessage || *count == kMaxMessages) {
      fclose(in);
      errno = EINVAL;
      return -1;
    }
    uint8_t* m = malloc(digits / 2);
    if (!m) { fclose(in); return -1; }
    for (size_t i = 0; i < digits / 2; i++) {
      int hi = hex_nibble(line[3 + 2 * i]), lo = hex_nibble(line[4 + 2 * i]);
      if (hi < 0 || lo < 0) { free(m); fclose(in); errno = EINVAL; return -1; }
      m[i] = (uint8_t)(hi << 4 | lo);
    }
    g_messages[*count] = m;
    g_lengths[(*count)++] = digits / 2;
  }
  fclose(in);
  return 0;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: tessel-replay <device node> <wire log>\n");
    return 2;
  }
  size_t count = 0;
  if (load(argv[2], &count) != 0 || count == 0) {
    fprintf(stderr, "tessel-replay: %s: no messages to send (%s)\n", argv[2], strerror(errno));
    return 1;
  }
  int fd = open(argv[1], O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    fprintf(stderr, "tessel-replay: %s: %s\n", argv[1], strerror(errno));
    return 1;
  }
  static uint8_t answer[kMaxMessage];
  long long start = now_us();
  for (size_t i = 0; i < count; i++) {
    const uint8_t* m = g_messages[i];
    ssize_t wrote = write(fd, m, g_lengths[i]);
    if (wrote != (ssize_t)g_lengths[i]) {
      fprintf(stderr, "tessel-replay: message %zu: write %zd of %zu (%s)\n", i, wrote, g_lengths[i],
              strerror(errno));
      return 1;
    }
    /* MBIM_OPEN_MSG 1 is answered by 0x80000001, COMMAND_MSG 3 by 0x80000003. */
    const uint32_t want = le32(m) | 0x80000000u, tid = le32(m + 8);
    for (;;) {
      struct pollfd p = {fd, POLLIN, 0};
      if (poll(&p, 1, 5000) != 1 || !(p.revents & POLLIN)) {
        fprintf(stderr, "tessel-replay: message %zu: no answer within 5 s\n", i);
        return 1;
      }
      ssize_t n = read(fd, answer, sizeof answer);
      if (n < 12) {
        fprintf(stderr, "tessel-replay: message %zu: read %zd (%s)\n", i, n, strerror(errno));
        return 1;
      }
      if (le32(answer) == want && le32(answer + 8) == tid) break;
    }
  }
  long long took = now_us() - start;
  close(fd);
  printf("REPLAY exchanges=%zu wall_us=%lld\n", count, took);
  return 0;
}

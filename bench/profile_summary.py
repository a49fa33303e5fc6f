#!/usr/bin/env python3
# profile_summary.py — where the CPU time of one tessel run went, from
# `perf script -F comm,pid,tid,period,ip,sym,dso` of a `perf record -g`
# profile (read on standard input), over one or more runs.
#
#   perf script -i perf.data -F comm,pid,tid,period,ip,sym,dso | profile_summary.py COMM [CHUNKS]
#
# Each sample of a thread named COMM is put into one category by its call
# chain: the system call it lies under (the channel's writes and reads told
# apart from the log's and the table file's), page faults, other kernel work,
# or the user-space library it lies in. Prints milliseconds per category for
# the main threads, the reader threads and the rest (children between fork
# and exec), and microseconds per chunk when CHUNKS (all runs' chunks
# together) is given.
import collections
import sys

comm = sys.argv[1]
chunks = int(sys.argv[2]) if len(sys.argv) > 2 else 0

WAKE_WRAPPERS = ("pthread_cond_signal", "__GI___lll_lock_wake", "__lll_lock_wake")
WAIT_WRAPPERS = ("__futex_abstimed_wait_common", "__GI___lll_lock_wait", "__lll_lock_wait",
                 "pthread_cond_timedwait", "pthread_cond_wait")


def syscall_of(names):
    """The system call a sample lies under, from the kernel's frames or, when
    the kernel was busy on the way back to user space, from the C library
    wrapper that made the call."""
    if "entry_SYSCALL_64_after_hwframe" not in names and "entry_SYSCALL_64" not in names:
        return None
    n = set(names)
    if n & {"ksys_write", "vfs_write", "__x64_sys_write"}:
        return "write"
    if n & {"ksys_read", "vfs_read", "__x64_sys_read"}:
        return "read"
    if n & {"do_sys_poll", "__x64_sys_poll"}:
        return "poll"
    if "do_futex" in n or "__x64_sys_futex" in n:
        return "futex wake" if n & {"futex_wake", "wake_up_q"} else "futex wait"
    for name in names:
        if name.startswith("__x64_sys_"):
            return name[len("__x64_sys_"):]
    wrapper = names[names.index("entry_SYSCALL_64_after_hwframe") + 1] if (
        "entry_SYSCALL_64_after_hwframe" in names and
        names.index("entry_SYSCALL_64_after_hwframe") + 1 < len(names)) else ""
    if "write" in wrapper:
        return "write"
    if wrapper == "read" or wrapper.endswith("_read"):
        return "read"
    if "poll" in wrapper:
        return "poll"
    if wrapper in WAKE_WRAPPERS:
        return "futex wake"
    if wrapper in WAIT_WRAPPERS:
        return "futex wait"
    return "other"


def category(frames):
    names = [name for name, _ in frames]
    syscall = syscall_of(names)
    if syscall is not None:
        ttyish = any("tty" in n for n in names)
        fileish = any(n.startswith("ext4") or n.startswith("filemap") or
                      n == "generic_perform_write" for n in names)
        if syscall == "write":
            if ttyish:
                return "write(): request to the channel (pty)"
            if fileish:
                return "write(): log records to stderr"
            return "write(): scheduling on the way back"
        if syscall == "read":
            if ttyish:
                return "read(): answer from the channel (pty)"
            if fileish:
                return "read(): table file"
            return "read(): scheduling on the way back"
        if syscall == "poll":
            return "poll(): reader thread waiting for the channel"
        if syscall == "futex wake":
            return "futex wake: condition signal, mutex hand-over"
        if syscall == "futex wait":
            return "futex wait: condition wait, contended mutex"
        return "other system calls: start, threads, spawn, exit"
    if any("page_fault" in n for n in names):
        return "page faults"
    leaf_dso = frames[0][1] if frames else ""
    if "kernel" in leaf_dso:
        return "other kernel: interrupts"
    if "ld-linux" in leaf_dso or "ld-2." in leaf_dso:
        return "user: dynamic loader (start)"
    if "libstdc++" in leaf_dso:
        return "user: libstdc++"
    if "libc" in leaf_dso or "libm" in leaf_dso:
        return "user: libc (stdio, malloc, pthread)"
    return "user: tessel code"


samples = []  # (pid, tid, period, frames)
header = None
frames = []


def flush():
    if header is not None and header[0] == comm:
        samples.append((header[1], header[2], header[3], frames))


for line in sys.stdin:
    if not line.strip():
        continue
    if not line[0].isspace():
        flush()
        parts = line.split()
        # "comm pid/tid period"; a comm may hold spaces
        try:
            pid, tid = (int(x) for x in parts[-2].split("/"))
            header = (" ".join(parts[:-2]), pid, tid, int(parts[-1]))
        except (ValueError, IndexError):
            header = None
        frames = []
        continue
    parts = line.strip().split(None, 1)
    if len(parts) < 2:
        continue
    sym, _, dso = parts[1].rpartition(" (")
    frames.append((sym.split("+")[0], dso.rstrip(")")))
flush()

if not samples:
    print(f"no samples of {comm}")
    sys.exit(0)

# A process with a second thread is the tool: its first thread is the main
# thread, the other its reader. A process seen with one thread only is a
# child between fork and exec (the process-list check's shell).
threads = collections.defaultdict(set)
for pid, tid, _, _ in samples:
    threads[pid].add(tid)


def column(pid, tid):
    if len(threads[pid]) < 2:
        return 2
    return 0 if tid == pid else 1


table = collections.defaultdict(lambda: [0, 0, 0])
for pid, tid, period, fr in samples:
    table[category(fr)][column(pid, tid)] += period
total = sum(sum(v) for v in table.values())
print(f"  {'category (ms of samples)':<52} {'main':>8} {'reader':>8} {'other':>8} {'total':>8} {'share':>6}"
      + (f" {'us/chunk':>9}" if chunks else ""))
for name, v in sorted(table.items(), key=lambda kv: -sum(kv[1])):
    t = sum(v)
    line = (f"  {name:<52} " + " ".join(f"{x / 1e6:8.2f}" for x in v) +
            f" {t / 1e6:8.2f} {100 * t / total:5.1f}%")
    if chunks:
        line += f" {t / 1e3 / chunks:9.2f}"
    print(line)
line = (f"  {'all':<52} " + " ".join(f"{sum(v[i] for v in table.values()) / 1e6:8.2f}"
                                    for i in range(3)) + f" {total / 1e6:8.2f} {100.0:5.1f}%")
if chunks:
    line += f" {total / 1e3 / chunks:9.2f}"
print(line)

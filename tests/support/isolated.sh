#!/bin/sh
# isolated.sh — runs a test binary where no process outside it can disturb it,
# and tells ctest when the binary skipped tests.
#
# The tool looks for a process named mbim-proxy in the process list and talks
# to the abstract socket "mbim-proxy", and its socket-file road is the fixed
# path /var/volatile/mbim-proxy. Tests that reach those must neither see a
# real proxy on this machine nor leave files behind, so when namespaces are
# available (root, or unprivileged user namespaces) the binary runs in its
# own network namespace (its own abstract sockets), PID namespace (its own
# process list) and mount namespace (private tmpfs on /var/volatile, /run
# and /var/lib/tessel).
# TESSEL_ISOLATED=1 tells the tests they may rely on that; without it they
# skip what needs it, with a message.
#
# A test binary that skipped tests and failed none writes a report to the
# file named by TESSEL_SKIP_REPORT (tests/support/isolation.h). It is printed
# here only when the binary has exited with status 0, so the line ctest's
# SKIP_REGULAR_EXPRESSION looks for never stands beside a failure, a sanitizer
# report or a crash. The exit status is the binary's.
#
# Usage: isolated.sh <test binary> [arguments...]
set -u

# Runs the command, then prints its skip report if it passed.
run() {
  report=$(mktemp /tmp/tessel-skips.XXXXXX) || exit 1
  TESSEL_SKIP_REPORT=$report "$@"
  status=$?
  [ "$status" -eq 0 ] && cat "$report"
  rm -f "$report"
  return "$status"
}

if [ "${TESSEL_ISOLATED_SETUP:-}" = inside ]; then
  # Here in the namespaces, started by the unshare below.
  unset TESSEL_ISOLATED_SETUP
  ip link set lo up 2>/dev/null
  if [ ! -d /var/volatile ]; then
    # Create the mount point out of sight: a tmpfs over /var in this mount
    # namespace only, laid out as /var is (root's, 0755: the state record's
    # directory must sit below directories no one else can write).
    mount -t tmpfs -o mode=0755 tmpfs /var || exit 1
    mkdir -p /var/volatile /var/tmp /var/lib
    chmod 1777 /var/tmp
  fi
  mount -t tmpfs tmpfs /var/volatile || exit 1
  # Root's runs keep their locks in /run/tessel: a tmpfs over /run of this
  # namespace's own (root's, 0755, as the host's), so the tests leave nothing
  # in the host's and never meet a lock a real run holds; /run/lock, which
  # tests plant things in, is there as on the host.
  mount -t tmpfs -o mode=0755 tmpfs /run || exit 1
  mkdir -p /run/lock && chmod 1777 /run/lock
  # Root's runs keep their device state records in /var/lib/tessel: the
  # same, so a test's record never reaches the host or another test binary.
  if [ -d /var/lib ]; then
    mkdir -p /var/lib/tessel && mount -t tmpfs -o mode=0700 tmpfs /var/lib/tessel || exit 1
  fi
  TESSEL_ISOLATED=1
  export TESSEL_ISOLATED
  run "$@"
  exit $?
fi

if [ "$(id -u)" = 0 ] && unshare --net --pid --fork --mount-proc --mount true 2>/dev/null; then
  TESSEL_ISOLATED_SETUP=inside
  export TESSEL_ISOLATED_SETUP
  exec unshare --net --pid --fork --mount-proc --mount sh "$0" "$@"
fi
echo "isolated.sh: no private namespaces here (needs root with unshare); tests that need them will skip" >&2
run "$@"
exit $?

#!/bin/sh
# isolated.sh — runs a test binary where no process outside it can disturb it.
#
# The tool looks for a process named mbim-proxy in the process list and talks
# to the abstract socket "mbim-proxy", and its socket-file road is the fixed
# path /var/volatile/mbim-proxy. Tests that reach those must neither see a
# real proxy on this machine nor leave files behind, so when namespaces are
# available (root, or unprivileged user namespaces) the binary runs in its
# own network namespace (its own abstract sockets), PID namespace (its own
# process list) and mount namespace (a private tmpfs on /var/volatile).
# TESSEL_ISOLATED=1 tells the tests they may rely on that; without it they
# skip what needs it, with a message.
#
# Usage: isolated.sh <test binary> [arguments...]
set -u
if [ "$(id -u)" = 0 ] && unshare --net --pid --fork --mount-proc --mount true 2>/dev/null; then
  exec unshare --net --pid --fork --mount-proc --mount sh -c '
    ip link set lo up 2>/dev/null
    if [ ! -d /var/volatile ]; then
      # Create the mount point out of sight: a tmpfs over /var in this mount
      # namespace only.
      mount -t tmpfs tmpfs /var || exit 1
      mkdir -p /var/volatile /var/tmp
    fi
    mount -t tmpfs tmpfs /var/volatile || exit 1
    TESSEL_ISOLATED=1 exec "$@"' isolated "$@"
fi
echo "isolated.sh: no private namespaces here (needs root with unshare); tests that need them will skip" >&2
exec "$@"

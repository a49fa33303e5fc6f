#!/bin/sh
# systemd_unit.sh <doc dir> <built tessel> — systemd's own check of the
# boot-time unit doc/examples/tessel-sar-update.service.
#
# systemd-analyze verify wants the ExecStart program to exist and the unit's
# Documentation= man page to be found by man. Here neither is installed, so
# a copy of the unit runs the built tool instead of /usr/bin/tessel, and man
# looks in a directory holding the project's man page. Every variable the
# unit takes from its environment file must be set in the example file
# (doc/examples/tessel.default), or the unit would start the tool without it.
# Fails on any word from systemd-analyze.
set -eu
doc=$1
tool=$2
unit=tessel-sar-update.service
work=$(mktemp -d /tmp/tessel-unit.XXXXXX)
trap 'rm -rf "$work"' EXIT

if ! grep -q '^ExecStart=/usr/bin/tessel ' "$doc/examples/$unit"; then
  echo "$unit: ExecStart does not run /usr/bin/tessel" >&2
  exit 1
fi
sed "s|^ExecStart=/usr/bin/tessel |ExecStart=$tool |" "$doc/examples/$unit" > "$work/$unit"
mkdir -p "$work/man/man1"
cp "$doc/tessel.1" "$work/man/man1/tessel.1"

status=0
MANPATH="$work/man" systemd-analyze verify "$work/$unit" > "$work/said" 2>&1 || status=$?
cat "$work/said"
if [ "$status" -ne 0 ] || [ -s "$work/said" ]; then
  echo "systemd-analyze verify: status $status" >&2
  exit 1
fi

missing=0
# shellcheck disable=SC2016  # the dollar signs are the unit's own
for var in $(grep '^ExecStart=' "$doc/examples/$unit" | grep -o '\${\{0,1\}[A-Z_][A-Z0-9_]*' | tr -d '${'); do
  if ! grep -q "^$var=" "$doc/examples/tessel.default"; then
    echo "$unit uses \$$var, which tessel.default does not set" >&2
    missing=1
  fi
done
[ "$missing" -eq 0 ] && echo "$unit: verified; its variables are set in tessel.default"
exit "$missing"

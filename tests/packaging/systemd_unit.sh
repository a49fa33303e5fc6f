#!/bin/sh
# systemd_unit.sh <doc dir> <built tessel> — systemd's own check of the
# boot-time units in doc/examples/: tessel-sar-update.service and the
# instance unit tessel-sar-update@.service, as the udev rule 70-tessel.rules
# instantiates it.
#
# systemd-analyze verify wants the ExecStart program to exist: here it is
# not installed, so copies of the units run the built tool instead of
# /usr/bin/tessel. It would also run man for Documentation=, which a minimal
# machine does not have (--man=no); the page named there is checked to be
# the project's own. Every variable a unit takes from its environment file
# must be set in the example file (doc/examples/tessel.default), or the unit
# would start the tool without it. Fails on any word from systemd-analyze.
set -eu
doc=$1
tool=$2
work=$(mktemp -d /tmp/tessel-unit.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

rule=$(grep -v '^#' "$doc/examples/70-tessel.rules" | grep -o 'tessel-sar-update@[^"]*\.service')
# The rule's backslash is doubled for systemd's reading of SYSTEMD_WANTS.
instance=$(printf '%s\n' "$rule" | sed 's/\\\\/\\/; s/%n/0/')
if [ "$instance" != 'tessel-sar-update@cdc\x2dwdm0.service' ]; then
  echo "70-tessel.rules asks for $rule, not the escaped node name" >&2
  failed=1
fi

for unit in tessel-sar-update.service tessel-sar-update@.service; do
  if ! grep -q '^ExecStart=/usr/bin/tessel ' "$doc/examples/$unit"; then
    echo "$unit: ExecStart does not run /usr/bin/tessel" >&2
    exit 1
  fi
  if ! grep -q '^Documentation=man:tessel(1)$' "$doc/examples/$unit" || [ ! -f "$doc/tessel.1" ]; then
    echo "$unit: Documentation= does not name tessel(1), the project's page" >&2
    failed=1
  fi
  sed "s|^ExecStart=/usr/bin/tessel |ExecStart=$tool |" "$doc/examples/$unit" > "$work/$unit"
done

for name in tessel-sar-update.service "$instance"; do
  status=0
  systemd-analyze verify --man=no "$work/$name" > "$work/said" 2>&1 || status=$?
  cat "$work/said"
  if [ "$status" -ne 0 ] || [ -s "$work/said" ]; then
    echo "systemd-analyze verify $name: status $status" >&2
    failed=1
  fi
done

# shellcheck disable=SC2016  # the dollar signs are the units' own
for var in $(grep -h '^ExecStart=' "$work"/*.service | grep -o '\${\{0,1\}[A-Z_][A-Z0-9_]*' | tr -d '${' | sort -u); do
  if ! grep -q "^$var=" "$doc/examples/tessel.default"; then
    echo "a unit uses \$$var, which tessel.default does not set" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "units verified; their variables are set in tessel.default"
exit "$failed"

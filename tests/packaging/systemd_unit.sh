#!/bin/sh
# systemd_unit.sh <source dir> <built tessel> — systemd's own check of the
# units the package installs (systemd/): tessel-sar-update.service and the
# instance unit tessel-sar-update@.service, as the udev rule
# udev/70-tessel.rules instantiates it.
#
# systemd-analyze verify wants the ExecStart program to exist: here it is
# not installed, so copies of the units run the built tool instead of
# /usr/bin/tessel. It would also run man for Documentation=, which a minimal
# machine does not have (--man=no); the page named there is checked to be
# the project's own. Every variable a unit takes from its environment file
# must be set in the example file (doc/examples/tessel.default), or the unit
# would start the tool without it. Each unit is inert without that file: its
# condition names the file it reads, not another. Fails on any word from
# systemd-analyze.
set -eu
src=$1
tool=$2
units=$src/systemd
work=$(mktemp -d /tmp/tessel-unit.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

# The rule asks for the instance of the node's kernel name and gives the
# node's device unit the alias that the instance unit binds to.
rules=$(grep -v '^#' "$src/udev/70-tessel.rules")
wants=$(printf '%s\n' "$rules" | grep -o 'SYSTEMD_WANTS}+="[^"]*"' | cut -d'"' -f2)
alias=$(printf '%s\n' "$rules" | grep -o 'SYSTEMD_ALIAS}+="[^"]*"' | cut -d'"' -f2 | sed 's/%n/0/')
instance=tessel-sar-update@cdc-wdm0.service
if [ "$wants" != 'tessel-sar-update@%k.service' ]; then
  echo "70-tessel.rules asks for '$wants', not the instance of the node's name" >&2
  failed=1
fi
bound=$(grep '^BindsTo=' "$units/tessel-sar-update@.service" | sed 's/^BindsTo=//; s/%i/cdc-wdm0/')
if [ "$(systemd-escape --path "$alias" 2> /dev/null).device" != "$bound" ]; then
  echo "70-tessel.rules: the alias '$alias' is not the unit '$bound' that the instance binds to" >&2
  failed=1
fi

for unit in tessel-sar-update.service tessel-sar-update@.service; do
  if ! grep -q '^ExecStart=/usr/bin/tessel ' "$units/$unit"; then
    echo "$unit: ExecStart does not run /usr/bin/tessel" >&2
    exit 1
  fi
  if ! grep -q '^Documentation=man:tessel(1)$' "$units/$unit" || [ ! -f "$src/doc/tessel.1" ]; then
    echo "$unit: Documentation= does not name tessel(1), the project's page" >&2
    failed=1
  fi
  settings=$(sed -n 's/^EnvironmentFile=//p' "$units/$unit")
  if [ "$settings" != /etc/default/tessel ] ||
    [ "$(sed -n 's/^ConditionPathExists=//p' "$units/$unit")" != "$settings" ]; then
    echo "$unit: not inert without its settings: ConditionPathExists= is not its EnvironmentFile= ($settings)" >&2
    failed=1
  fi
  sed "s|^ExecStart=/usr/bin/tessel |ExecStart=$tool |" "$units/$unit" > "$work/$unit"
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
  if ! grep -q "^$var=" "$src/doc/examples/tessel.default"; then
    echo "a unit uses \$$var, which tessel.default does not set" >&2
    failed=1
  fi
done
[ "$failed" -eq 0 ] && echo "units verified; their variables are set in tessel.default"
exit "$failed"

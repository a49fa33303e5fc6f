#!/bin/sh
# install_units.sh <build dir> — where `cmake --install` puts the units and
# the udev rule, and which tool the units run, for the package's prefix and
# for another one (cmake/install-units.cmake): under /usr, Debian's
# /lib/systemd/system and /lib/udev/rules.d with /usr/bin/tessel; under
# /usr/local, /usr/local/lib/... with /usr/local/bin/tessel, so that a unit
# never runs a tool that was not installed with it. Installs into a scratch
# DESTDIR only.
set -eu
build=$1
work=$(mktemp -d /tmp/tessel-install-units.XXXXXX)
trap 'rm -rf "$work"' EXIT
failed=0

for prefix in /usr /usr/local; do
  case $prefix in
    /usr) lib=/lib ;;
    *) lib=$prefix/lib ;;
  esac
  dest=$work$prefix
  DESTDIR=$dest cmake --install "$build" --prefix "$prefix" --component tessel > /dev/null
  for file in "$lib/systemd/system/tessel-sar-update.service" \
    "$lib/systemd/system/tessel-sar-update@.service" "$lib/udev/rules.d/70-tessel.rules" \
    "$prefix/bin/tessel"; do
    [ -f "$dest$file" ] || { echo "prefix $prefix: no $file" >&2; failed=1; }
  done
  for unit in "$dest$lib"/systemd/system/tessel-sar-update*.service; do
    [ -f "$unit" ] || continue
    runs=$(sed -n 's/^ExecStart=\([^ ]*\) .*/\1/p' "$unit")
    if [ "$runs" != "$prefix/bin/tessel" ]; then
      echo "prefix $prefix: ${unit#"$dest"} runs '$runs', not $prefix/bin/tessel" >&2
      failed=1
    fi
  done
done
[ "$failed" -eq 0 ] && echo "units and rule where systemd and udev read them, running the tool installed with them"
exit "$failed"

# apt.sh — the Debian packages a script needs, installed when missing.
# Sourced (bash) by the scripts that build and test, so each says only which
# packages it needs:
#
#   . "$(dirname "$0")/lib/apt.sh"
#   mapfile -t need < <(apt_missing cmake clang)
#   apt_install fuzz "${need[@]}"
#
# apt_missing PACKAGE...
#   Prints, one a line, the packages dpkg does not show installed.
# apt_install WHO PACKAGE...
#   Nothing to do for no package. As root: apt-get update (a failure is only
#   noted: the package lists at hand may do) and apt-get install; a failed
#   install ends the script with its status. Otherwise it says on standard
#   error what to install and ends the script: under scripts/test-stages
#   (TESSEL_STAGE_SKIP names a file) with status 0 and the reason in that
#   file, so the stage counts as skipped, not passed; elsewhere with
#   $apt_refused_status (1 unless the script sets another). The extra
#   options in the array apt_install_options go to apt-get install.
# apt_try_install WHO PACKAGE...
#   For an optional package: as root, installs it if apt can (the package
#   lists updated first, once); non-zero, with apt's last lines on standard
#   error, when it cannot. Never ends the script.
# apt_mirror
#   Prints the mirror this machine's apt uses (a deb822 .sources file first,
#   then sources.list), else Debian's own. Never fails: a fresh root may have
#   neither file.

apt_refused_status=1
apt_install_options=()
apt_updated=0

apt_missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || echo "$p"
  done
}

apt_update_once() {
  [ "$apt_updated" -eq 1 ] && return 0
  apt_updated=1
  apt-get update -qq ||
    echo "$1: apt-get update failed; trying the package lists at hand" >&2
}

apt_install() {
  local who=$1
  shift
  [ $# -gt 0 ] || return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "$who: missing $*; install them with: sudo apt-get install -y $*" >&2
    if [ -n "${TESSEL_STAGE_SKIP:-}" ]; then
      echo "missing $* (install as root)" > "$TESSEL_STAGE_SKIP"
      exit 0
    fi
    exit "$apt_refused_status"
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt_update_once "$who"
  echo "$who: installing $*"
  apt-get install -y -qq "${apt_install_options[@]}" "$@" || exit
}

apt_try_install() {
  local who=$1 log status=0
  shift
  [ "$(id -u)" -eq 0 ] || return 1
  export DEBIAN_FRONTEND=noninteractive
  apt_update_once "$who" > /dev/null 2>&1
  log=$(mktemp /tmp/tessel-apt.XXXXXX)
  apt-get install -y -qq "$@" > "$log" 2>&1 || status=$?
  [ "$status" -eq 0 ] || tail -n 5 "$log" | sed 's/^/    /' >&2
  rm -f "$log"
  return "$status"
}

apt_mirror() {
  local mirror
  mirror=$(cat /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '/^URIs:/ {print $2; exit}' || true)
  [ -n "$mirror" ] || mirror=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  echo "${mirror:-http://deb.debian.org/debian}"
}

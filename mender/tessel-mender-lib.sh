# tessel-mender-lib.sh — what the update module tessel-sar and the inventory
# script mender-inventory-tessel-sar share: reading the device's settings,
# checking an item number, and telling which words of TESSEL_OPTIONS are
# options only the scripts may choose. POSIX sh, sourced (". file") by both;
# installed with them as /usr/share/tessel-mender/tessel-mender-lib.sh
# (TESSEL_MENDER_LIB names another copy, as the tests do). It reads the
# variable defaults (the settings file) and options (TESSEL_OPTIONS' value),
# and sets value, owned, what and refused (and, as scratch, name, letters,
# long, line and the underscored _word and _option).

# setting NAME: NAME's value in the settings file, read as systemd reads an
# EnvironmentFile (NAME=value lines, # comments, optional quotes, no shell
# expansion; the last one wins); empty when the file cannot be read.
setting() {
  value=
  [ -r "$defaults" ] || return 0
  while IFS= read -r line || [ -n "$line" ]; do
    line=${line#"${line%%[![:space:]]*}"}
    case $line in
      "$1="*) value=${line#"$1="} ;;
    esac
  done < "$defaults"
  value=${value%"${value##*[![:space:]]}"}
  case $value in
    \"*\") value=${value#\"}; value=${value%\"} ;;
    \'*\') value=${value#\'}; value=${value%\'} ;;
  esac
  printf '%s' "$value"
}

# is_item TEXT: a whole number from 0 to 65535, as tessel takes it for -n.
is_item() {
  case $1 in
    '' | *[!0-9]* | 0?* | ??????*) return 1 ;;
  esac
  [ "$1" -le 65535 ]
}

# owned_option WORD [LONG...]: whether WORD, one word of TESSEL_OPTIONS, is
# or holds one of tessel's options that choose the device, the item, the
# table file or the mode, which are the scripts' to choose (or one of the
# further long options LONG a script refuses); sets owned (the option) and
# what (what it chooses). Left in, -n 48001 would back up, overwrite and
# apply another item than the artifact's; --force or --check would fail
# every backup; --version or --help would end each run with status 0 and
# nothing done: a backup and an install reported that never happened.
# The reading is tessel's getopt_long's, and wider, so that no spelling it
# takes slips through. Every short option of tessel is the scripts' (-d, -f,
# -n, and -v, -h, which print the usage), so a cluster (-hn1) is refused at
# the first of them. A long option may be abbreviated to any prefix that is
# not ambiguous (--forc, --sav=FILE, --que): any prefix of an owned one is
# refused, an ambiguous one such as --s included (tessel refuses those too).
# --lock-wait N, --debug and --strict pass, abbreviated or not.
owned_option() {
  owned=
  _word=$1
  shift
  case $_word in
    --?*)
      name=${_word#--}
      name=${name%%=*}
      [ -n "$name" ] || return 1
      for long in force save check query version help "$@"; do
        case $long in
          "$name"*) owned=--$long; break ;;
        esac
      done
      ;;
    -?*)
      letters=${_word#-}
      while [ -n "$letters" ]; do
        case $letters in
          [dfnvh]*) owned=-${letters%"${letters#?}"}; break ;;
        esac
        letters=${letters#?}
      done
      ;;
  esac
  case $owned in
    '') return 1 ;;
    -d) what="the device" ;;
    -n) what="the item" ;;
    -f) what="the table file" ;;
    --save) what="the mode (a backup)" ;;
    --check) what="the mode (a check)" ;;
    --query) what="the mode (a query)" ;;
    --force) what="the mode (a forced write)" ;;
    --version | --help | -v | -h) what="the mode (a text instead of a run)" ;;
    *) what="what the summary line looks like" ;;
  esac
  return 0
}

# owned_among_options [LONG...]: the first word of TESSEL_OPTIONS that
# owned_option refuses, in refused (with the option it stands for when it
# is spelt otherwise), and its owned and what. Every word is read, even one
# tessel would take as --lock-wait's value or leave alone after "--": those
# would fail or do nothing there, and reading them costs nothing but a
# refusal of settings no one means.
owned_among_options() {
  refused=
  set -f  # split as the scripts split it for tessel, never globbed
  # shellcheck disable=SC2086
  for _option in $options; do
    if owned_option "$_option" "$@"; then
      refused=$_option
      [ "$_option" = "$owned" ] || refused="$_option ($owned)"
      break
    fi
  done
  set +f
  [ -n "$refused" ]
}

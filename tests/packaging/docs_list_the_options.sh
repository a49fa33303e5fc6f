#!/usr/bin/env bash
# docs_list_the_options.sh <source dir> [emulator] <option_list> — the docs
# list the options the option tables hold, no more and no fewer: tessel(1)
# under OPTIONS, one subsection per sub-command; the README's option table
# (both sub-commands together); tessel-modem-sim(1) under OPTIONS. tessel(1)
# and the README's table of statuses with --strict also list exactly the
# exit statuses src/main defines (its kExit constants, -1 as 255).
#
# An option is what a tag names: the line after .TP in a page, the first
# column of a README row. option_list prints the tables, so an option added
# to a table without its documentation fails here, and so does a
# documented option the parser no longer takes.
set -u
src=$1
shift
work=$(mktemp -d /tmp/tessel-docs.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail=0

"$@" > "$work/tables" || { echo "docs: option_list failed"; exit 1; }

table() {  # table <name>: that table's options
  awk -v t="$1" '$1 == t { print $2 }' "$work/tables" | sort -u
}

# The tags of a page's section (.SH), or of one subsection (.SS) of it, with
# the page's \- made plain.
tags() {  # tags <page> <section> [subsection]
  # Through the environment: awk -v would read the headings' backslashes.
  SH=$2 SS=${3:-} awk '
    BEGIN { sh = ENVIRON["SH"]; ss = ENVIRON["SS"] }
    /^\.SH / { in_sh = ($0 == ".SH " sh); in_ss = in_sh && ss == ""; tag = 0; next }
    in_sh && /^\.SS / { in_ss = (ss == "" || $0 == ".SS " ss); tag = 0; next }
    in_ss && tag { print; tag = 0; next }
    in_ss && /^\.TP/ { tag = 1 }
  ' "$1" | sed 's/\\-/-/g'
}

options_in() {  # the option spellings in standard input's lines
  grep -oE '(^|[ "`])--?[a-z][a-z0-9-]*' | tr -d ' "`' | sort -u
}

# same <what> <expected file> <found file>: reports every difference.
same() {
  if [ ! -s "$2" ] || [ ! -s "$3" ]; then
    echo "docs: $1: nothing found to compare (a layout the check does not know?)"
    fail=1
    return
  fi
  comm -23 "$2" "$3" | while read -r x; do echo "docs: $1: $x is missing"; done
  comm -13 "$2" "$3" | while read -r x; do echo "docs: $1: $x is listed, not in the code"; done
  cmp -s "$2" "$3" || fail=1
}

for sub in sar_tool debug_tool; do
  table "$sub" > "$work/$sub"
  tags "$src/doc/tessel.1" OPTIONS "$sub" | options_in > "$work/page-$sub"
  same "doc/tessel.1, OPTIONS of $sub" "$work/$sub" "$work/page-$sub"
done

sort -u "$work/sar_tool" "$work/debug_tool" > "$work/tool"
awk '/^\| option \| meaning \|$/ { t = 1; next } t && !/^\|/ { t = 0 } t' "$src/README.md" |
  grep -v '^|---' | cut -d'|' -f2 | options_in > "$work/readme"
same "README.md, the option table under Usage" "$work/tool" "$work/readme"

table tessel-modem-sim > "$work/sim"
tags "$src/doc/tessel-modem-sim.1" OPTIONS | options_in > "$work/page-sim"
same "doc/tessel-modem-sim.1, OPTIONS" "$work/sim" "$work/page-sim"

# Exit statuses: the constants as a shell sees them (0 to 255).
grep -hoE 'constexpr int kExit[A-Za-z]+ = -?[0-9]+;' "$src"/src/main/*.h |
  awk '{ n = $NF + 0; print (n % 256 + 256) % 256 }' | sort -u > "$work/statuses"
strict='With \-\-strict, \-\-check, \-\-save, \-\-query or \-\-json'
tags "$src/doc/tessel.1" "EXIT STATUS" "$strict" |
  grep -oE '[0-9]+' | sort -u > "$work/page-statuses"
same "doc/tessel.1, EXIT STATUS with --strict" "$work/statuses" "$work/page-statuses"
awk '/^\| status with `--strict`/ { t = 1; next } t && !/^\|/ { t = 0 } t' "$src/README.md" |
  cut -d'|' -f2 | grep -oE '^ *[0-9]+ *$' | tr -d ' ' | sort -u > "$work/readme-statuses"
same "README.md, the table of statuses with --strict" "$work/statuses" "$work/readme-statuses"

exit "$fail"

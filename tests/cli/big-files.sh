#!/bin/sh
# The built tbxconv converts a 1 GB file of ordinary strings and a 200 MB file of empty strings
# byte for byte; a Windows build runs under Wine and must be large-address-aware (as must the
# other programs named). The files are made in WORK and removed. Exit 77 (skipped) when WORK
# has less than 2.2 GB free.
# Usage: big-files.sh WORK OBJDUMP TBXCONV [PROGRAM...]
work=$1 objdump=$2 tool=$3
shift 3
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work" && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT
free=$(df -Pk . | awk 'NR == 2 { print $4 }')
if [ "$free" -lt $((2200 * 1024)) ]; then
  echo "skipped: $((free / 1024)) MB free in $work, 2200 MB needed"
  exit 77
fi
run=
case $tool in *.exe) run=$here/scripts/wine-run ;; esac
. "$here/tests/support/ShellChecks.sh"

for program in "$tool" "$@"; do
  case $program in
    *.exe) check "$program is large-address-aware" yes "$("$objdump" -p "$program" | grep -qi 'large address aware' && echo yes)" ;;
  esac
done

# KIND NAME OPTIONS...: the file, a 1.2 file, converted to 1.1 differs from it only in the
# version's minor byte (offset 4: 2 becomes 1), and has its length.
convert() {
  kind=$1 name=$2
  shift 2
  "$here/bench/generate" "$kind" "$name" "$@" || { check "making $name" 0 $?; return; }
  $run "$tool" convert --to 1.1 "$name" out.tbx
  check "$name: status" 0 $?
  check "$name: length" "$(wc -c <"$name")" "$(wc -c <out.tbx)"
  check "$name: differences" "5 2 1" "$(cmp -l "$name" out.tbx | head -5 | awk '{ print $1, $2, $3 }')"
  rm -f "$name" out.tbx
}

convert huge ordinary.tbx --size 1G
convert empty empty.tbx --strings 200000000
finish

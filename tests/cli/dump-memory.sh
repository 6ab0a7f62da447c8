#!/bin/sh
# dump writes its JSON as it makes it: for a 128 MB file its peak memory (the maximum resident
# set that /usr/bin/time reports) stays within 1.5 times the file, and the JSON comes out whole.
# The file is made in WORK and removed; exit 77 (skipped) with less than 200 MB free there.
# Usage: dump-memory.sh WORK TBXCONV
work=$1 tool=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work" && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT
free=$(df -Pk . | awk 'NR == 2 { print $4 }')
if [ "$free" -lt $((200 * 1024)) ]; then
  echo "skipped: $((free / 1024)) MB free in $work, 200 MB needed"
  exit 77
fi
. "$here/tests/support/ShellChecks.sh"

"$here/bench/generate" huge big.tbx --size 128M || exit 1
/usr/bin/time -o peak -f %M "$tool" dump big.tbx | tail -c 4 >end
size=$(($(wc -c <big.tbx) / 1024))
peak=$(cat peak)
echo "peak memory: $peak KB for a file of $size KB"
check "peak memory within 1.5 times the file" yes "$([ $((peak * 2)) -le $((size * 3)) ] && echo yes)"
check "the JSON's end" "$(printf '  ]\n}\n' | tail -c 4)" "$(cat end)"
finish

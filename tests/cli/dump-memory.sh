#!/bin/sh
# dump writes its JSON as it makes it: for a 128 MB file its peak memory (the maximum resident set
# that /usr/bin/time reports) stays within 1.5 times the file, and the JSON comes out whole. The
# file is made in WORK and removed. Usage: dump-memory.sh WORK TBXCONV
work=$1 tool=$2
here=$(cd "$(dirname "$0")/../.." && pwd)
mkdir -p "$work" && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT
. "$here/tests/support/ShellChecks.sh"
"$here/bench/generate" huge big.tbx --size 128M || exit 1
/usr/bin/time -o peak -f %M "$tool" dump big.tbx | tail -c 4 >end
echo "peak memory: $(cat peak) KB for a file of $(($(wc -c <big.tbx) / 1024)) KB"
check "peak memory within 1.5 times the file" yes "$([ $(($(cat peak) * 1024 * 2)) -le $(($(wc -c <big.tbx) * 3)) ] && echo yes)"
check "the JSON's end" "$(printf ']\n}\n')" "$(cat end)"
finish

#!/usr/bin/env bash
# Pipes and "-" as a shell hands them to tbxconv: "-" both ways, byte for byte also beyond what a
# pipe holds, standard input from where it stands, 9 without the stream; pipes, a FIFO, /dev/stdin
# and <(...) read to their end; a file "./-". Under Wine all but the shell's descriptors' names.
tool=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d) && cd "$work" || exit 1
trap 'rm -rf "$work"' EXIT
. "$here/tests/support/ShellChecks.sh"
run= && case $tool in *.exe) run=$here/scripts/wine-run ;; esac
export KOVREL_LOCALE=en_US.UTF-8 LC_ALL=en_US.UTF-8
tbxconv() { $run "$tool" "$@"; }
# "STATUS|OUTPUT|ERRORS" of a command, the lines of each joined.
said() { "$@" >o 2>e; echo "$?|$(tr -d '\r' <o | paste -sd' ')|$(tr -d '\r' <e | paste -sd' ')"; }
same() { cmp -s "$1" "$2" && echo same; }
small_tabrix_file small.tbx
{ printf 'skip'; cat small.tbx; } >padded.tbx
"$here/bench/generate" big many.tbx --strings 20000 >/dev/null || exit 1 # 2.5 MB
tbxconv convert --to 1.0 many.tbx old.tbx 2>/dev/null && tbxconv dump many.tbx >many.json || exit 1

check "info - from where it stands" "0|-: 1.2|" "$({ dd bs=4 count=1 of=/dev/null 2>/dev/null; said tbxconv info -; } <padded.tbx)"
check "convert - DEST from a pipe" "0||same" "$(cat many.tbx | said tbxconv convert --to 1.2 - copy.tbx)$(same copy.tbx many.tbx)"
check "convert SOURCE - into a pipe" "same" "$(tbxconv convert --to 1.0 many.tbx - 2>/dev/null | same - old.tbx)"
check "dump -" "same" "$(cat many.tbx | tbxconv dump - | same - many.json)"
check "a file named -" "0|||./-: 1.0" "$(said tbxconv convert --to 1.0 --strict small.tbx ./-)|$(tbxconv info ./- | tr -d '\r')"
tbxconv convert --to 1.1 small.tbx - >&- 2>closed; closed="$? $(tr -d '\r' <closed)"
check "no standard input, no standard output" "9||tbxconv: -: the file cannot be opened|9 tbxconv: write error: the file cannot be opened" \
  "$(said tbxconv info - <&-)|$closed"
mkfifo fifo && { cat many.tbx >fifo & }
check "a FIFO" "0||same" "$(said tbxconv convert --to 1.2 fifo fifo.tbx)$(same fifo.tbx many.tbx)"
kill "$!" 2>/dev/null # a writer that no reader took
if [ -z "$run" ]; then
  check "/dev/stdin" "0|/dev/stdin: 1.2|" "$(cat small.tbx | said tbxconv info /dev/stdin)"
  check "process substitution" "0|FD: 1.2|" "$(said tbxconv info <(cat small.tbx) | sed 's|/dev/fd/[0-9]*|FD|')"
fi
finish

#!/usr/bin/env bash
# Pipes and "-" as a shell hands them to tbxconv: "-" is standard input as FILE or SOURCE and
# standard output as DEST, byte for byte also for a file bigger than a pipe holds; a pipe, a FIFO,
# /dev/stdin and a process substitution are read to their end; a file named "-" is "./-". A
# Windows build runs under Wine, with "-" and the FIFO. Usage: pipes.sh TBXCONV
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
"$here/bench/generate" big many.tbx --strings 20000 >/dev/null || exit 1 # 2.5 MB

check "info - from a pipe" "0|-: 1.2|" "$(cat small.tbx | said tbxconv info -)"
check "info - from a file" "0|small.tbx: 1.2 -: 1.2|" "$(said tbxconv info small.tbx - <small.tbx)"
check "convert - DEST from a pipe" "0||same" "$(cat many.tbx | said tbxconv convert --to 1.2 - copy.tbx)$(same copy.tbx many.tbx)"
tbxconv convert --to 1.2 many.tbx - 2>e | cat >piped.tbx
check "convert SOURCE - into a pipe" "0|same" "${PIPESTATUS[0]}$(cat e)|$(same piped.tbx many.tbx)"
tbxconv convert --to 1.0 small.tbx old.tbx 2>/dev/null
check "convert SOURCE - as the file would be" "same" "$(tbxconv convert --to 1.0 small.tbx - 2>/dev/null | same - old.tbx)"
tbxconv dump many.tbx >file.json
check "dump - as dump FILE" "yes same" "$([ -s file.json ] && echo yes) $(cat many.tbx | tbxconv dump - | same - file.json)"
check "a file named - is ./-" "0|||no|./-: 1.0" \
  "$(said tbxconv convert --to 1.0 --strict old.tbx ./-)|$([ -s o ] && echo yes || echo no)|$(tbxconv info ./- | tr -d '\r')"

mkfifo fifo && { cat many.tbx >fifo & }
check "a FIFO" "0||same" "$(said tbxconv convert --to 1.2 fifo fifo.tbx)$(same fifo.tbx many.tbx)"
kill "$!" 2>/dev/null # a writer that no reader took
# Names of the shell's descriptors: under Wine they would name Wine's own.
if [ -z "$run" ]; then
  check "/dev/stdin" "0|/dev/stdin: 1.2|" "$(cat small.tbx | said tbxconv info /dev/stdin)"
  check "process substitution" "0|FD: 1.2|" "$(said tbxconv info <(cat small.tbx) | sed 's|/dev/fd/[0-9]*|FD|')"
fi
finish

#!/bin/sh
# Every write of tbxconv checked, as a shell sees it: output into /dev/full or onto a full volume,
# a conversion's to standard output too, ends the run with "tbxconv: write error: MESSAGE" and the
# status of a full disk, also half-way on a small volume; a file's own failure keeps its status; a
# reader that goes away ends the run without a word. The volumes (tests/support/volumes.sh) need
# root, else their checks are skipped. A Windows build runs under Wine. Usage: checked-writes.sh TBXCONV
tool=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d) && cd "$work" || exit 1
trap 'sh "$here/tests/support/volumes.sh" cleanup "$work/v"; rm -rf "$work"' EXIT
. "$here/tests/support/ShellChecks.sh"
run= && case $tool in *.exe) run=$here/scripts/wine-run ;; esac
export KOVREL_LOCALE=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
err() { tr -d '\r' <err; }
full="tbxconv: write error: ディスクが一杯です"
small_tabrix_file small.tbx
"$here/bench/generate" big many.tbx --strings 20000 >/dev/null || exit 1 # 2.5 MB of JSON, more than a pipe holds
sh "$here/tests/support/volumes.sh" setup "$work/v"
[ -e v/full/.mounted ] || echo "skipped: the full and small volumes need root"

for target in /dev/full $([ -e v/full/.mounted ] && echo v/full/out); do
  for command in --help --version "info small.tbx" "dump small.tbx" "convert --to 1.1 small.tbx -"; do
    $run "$tool" $command >"$target" 2>err
    check "$command into $target" "7|$full" "$?|$(err)"
  done
done
KOVREL_LOCALE=en_US.UTF-8 LC_ALL=en_US.UTF-8 $run "$tool" info missing.tbx small.tbx >/dev/full 2>err
check "a file's failure first, in English" "4|tbxconv: missing.tbx: the file does not exist|tbxconv: write error: the disk is full" \
  "$?|$(err | paste -sd'|')"
$run "$tool" info small.tbx missing.tbx >out 2>/dev/full
check "standard error into /dev/full" "4|small.tbx: 1.2" "$?|$(tr -d '\r' <out)"

for command in "dump many.tbx" "convert --to 1.2 many.tbx -"; do
  if [ -e v/small/.mounted ]; then
    rm -f v/small/out
    $run "$tool" $command >v/small/out 2>err
    check "$command onto a volume that fills up" "7|$full" "$?|$(err)"
    check "what arrived of $command is its beginning" "yes" "$([ -s v/small/out ] \
      && $run "$tool" $command | head -c "$(wc -c <v/small/out)" | cmp -s - v/small/out && echo yes)"
  fi
  # A closed pipe: SIGPIPE ends the run, or where SIGPIPE is ignored, the status 9.
  { $run "$tool" $command 2>err; echo $? >status; } | head -c 10 >/dev/null
  check "a closed pipe ends $command without a word" "yes|" "$([ "$(cat status)" -ne 0 ] && echo yes)|$(err)"
  (trap '' PIPE && { $run "$tool" $command 2>err; echo $? >status; } | head -c 10 >/dev/null)
  check "a closed pipe with SIGPIPE ignored, $command" "9|" "$(cat status)|$(err)"
done
finish

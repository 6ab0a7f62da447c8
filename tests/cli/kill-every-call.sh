#!/usr/bin/env bash
# A save killed at each one of its system calls, in place (a hard-linked file) and replacing, and a
# playback killed at each one of its own: once recovered, the file holds its old content or its
# new one, whole, and nothing is left beside it.
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/ShellChecks.sh"
export XDG_STATE_HOME=$work/state
cd "$work" || exit 1

# A 1.2 file of $2 strings of 255 bytes of $3: some hundred kilobytes, many sectors.
tabrix_file() {
  {
    printf '\003\000\377\377\002\001'
    head -c 292 /dev/zero
    printf '\000'
    printf "\\$(printf %03o $(($2 & 255)))\\$(printf %03o $(($2 >> 8)))\\000\\000"
    for ((i = 0; i < $2; i++)); do printf '\377'; head -c 255 /dev/zero | tr '\0' "$3"; done
    printf '\000\000\000\000\002\000\000\000\001\000\000\000\002\000\000\000'
  } >"$1"
}
# A content that shrinks, and one that grows.
for sizes in "400 300" "300 400"; do
set -- $sizes
tabrix_file old.tbx "$1" o
tabrix_file source.tbx "$2" n
rm -rf state d.tbx e.tbx new.tbx

# The system calls of a run, by name, in order.
calls() { strace -f -qq -o trace "$@" >/dev/null 2>&1; grep -vE '^[0-9]+ +(\+\+\+|---)' trace | sed -E 's/^[0-9]+ +//; s/\(.*//'; }
# Runs the command killed just before its system call number $1 of the list $2.
killed_at() {
  local k=$1 list=$2; shift 2
  local name m
  name=$(sed -n "${k}p" <<<"$list")
  m=$(head -n "$k" <<<"$list" | grep -cx "$name")
  (strace -f -qq -o /dev/null -e trace="$name" -e inject="$name":signal=KILL:when="$m" "$@" >/dev/null 2>&1; :) 2>/dev/null
}
# What is left beside the file: a kill in the instant of a replacement's swap may leave the one or
# the other whole under its temporary name, which goes; anything else stays and is named.
leftovers() {
  for f in ~kv*.tmp; do [ -e "$f" ] && { cmp -s "$f" old.tbx || cmp -s "$f" new.tbx; } && rm -f "$f"; done
  ls -A . | grep -vxE 'old.tbx|source.tbx|new.tbx|d.tbx|e.tbx|trace|state'; ls -A state/kovrel/journals 2>/dev/null
}
whole() { cmp -s d.tbx old.tbx && echo old || { cmp -s d.tbx new.tbx && echo new; } || echo torn; }

"$tool" convert --to 1.2 source.tbx new.tbx >/dev/null 2>&1
for way in in-place replace; do
  prepare() { cp old.tbx d.tbx && { [ $way = replace ] || ln -f d.tbx e.tbx; }; }
  prepare
  list=$(calls "$tool" convert --to 1.2 source.tbx d.tbx)
  seen=""
  for ((k = 1; k <= $(wc -l <<<"$list"); k++)); do
    prepare
    killed_at "$k" "$list" "$tool" convert --to 1.2 source.tbx d.tbx
    "$tool" recover d.tbx >/dev/null 2>&1
    state=$(whole)
    check_context="$sizes: $way, killed at call $k ($(sed -n "${k}p" <<<"$list"))"
    check "a whole content" "whole" "$([ "$state" = torn ] && echo torn || echo whole)"
    check "nothing beside" "" "$(leftovers)"
    [[ " $seen " == *" $state "* ]] || seen=$(printf '%s\n' $seen $state | sort | paste -sd' ')
    rm -f e.tbx
  done
  check_context=$way
  check "kills before and after the commit" "new old" "$seen"
done

# A save of the hard-linked file killed just before its cut leaves its new bytes over the old
# ones and its journal; the playback is killed at each of its calls, then recovered.
torn() { cp old.tbx d.tbx && ln -f d.tbx e.tbx && killed_at "$cut" "$save" "$tool" convert --to 1.2 source.tbx d.tbx; }
cp old.tbx d.tbx && ln -f d.tbx e.tbx
save=$(calls "$tool" convert --to 1.2 source.tbx d.tbx)
cut=$(grep -nx ftruncate <<<"$save" | tail -1 | cut -d: -f1)
torn
check_context="the file before its cut ($sizes)"
check "rewritten, with its journal" "1" "$([ "$(whole)" != old ] && ls state/kovrel/journals | wc -l)"
list=$(calls "$tool" recover d.tbx)
for ((k = 1; k <= $(wc -l <<<"$list"); k++)); do
  torn
  killed_at "$k" "$list" "$tool" recover d.tbx
  "$tool" recover d.tbx >/dev/null 2>&1
  check_context="$sizes: playback killed at call $k ($(sed -n "${k}p" <<<"$list"))"
  check "the old content, nothing beside" "old" "$(whole)$(leftovers)"
done
done
check_context=""
finish

#!/bin/sh
# Runs the built tbxconv as a user's shell does: exit statuses, UTF-8 messages on standard
# error, nothing on standard output for a failure, and a file written only when asked.
tool=$1
seeds=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(cd "$(dirname "$0")" && pwd)/../support/ShellChecks.sh"
cd "$work" || exit 1
# The converter's own messages, as a Japanese locale shows them; other locales further down.
export LC_ALL=ja_JP.UTF-8

# A 1.2 file of the shortest size: no lead string, list counts below 0.
"$seeds" seeds && cp seeds/v12-negative small.tbx
check "made the sample" 319 "$(wc -c < small.tbx | tr -d ' ')"

out=$("$tool" info small.tbx 2>err); status=$?
check "info status" 0 "$status"
check "info output" "small.tbx: 1.2" "$out"
check "info errors" "" "$(cat err)"

out=$("$tool" info missing.tbx 2>err); status=$?
check "missing file status" 4 "$status"
check "missing file output" "" "$out"
check "missing file message" "tbxconv: missing.tbx: ファイルが存在しません" "$(cat err)"

printf 'not a tabrix file' > bad.tbx
"$tool" info small.tbx bad.tbx missing.tbx >out 2>err; status=$?
check "batch status is the first failure's" 11 "$status"
check "batch output" "small.tbx: 1.2" "$(cat out)"
check "batch messages" "tbxconv: bad.tbx: ファイルのフォーマットが不正です
tbxconv: missing.tbx: ファイルが存在しません" "$(cat err)"

"$tool" convert --to 1.0 small.tbx old.tbx >out 2>err; status=$?
check "convert status" 0 "$status"
check "convert names what 1.0 cannot keep" "tbxconv: small.tbx: 拡張ワード X1..X4 は書き込まれませんでした" "$(cat out)$(cat err)"
"$tool" convert --to 1.2 old.tbx new.tbx >out 2>err
check "a conversion that keeps everything is quiet" "" "$(cat out)$(cat err)"
check "1.0 file size" 289 "$(wc -c < old.tbx | tr -d ' ')"
check "1.0 file version" "old.tbx: 1.0" "$("$tool" info old.tbx)"

"$tool" convert --to 2.0 small.tbx never.tbx >out 2>err; status=$?
check "bad --to status" 1 "$status"
check "bad --to writes nothing" "no" "$([ -e never.tbx ] && echo yes || echo no)"
check "bad --to gives the usage" "yes" "$(grep -q '^tbxconv: usage:' err && echo yes || echo no)"

"$tool" frobnicate >out 2>err; status=$?
check "unknown command status" 1 "$status"
check "unknown command prints nothing on standard output" "" "$(cat out)"

"$tool" --help >out 2>err; status=$?
check "help status" 0 "$status"
check "help on standard output" "yes" "$(grep -q 'Exit status' out && echo yes || echo no)"

# Progress is for terminals only: a batch into a pipe shows none of it.
mkdir outdir
"$tool" convert --to 1.1 --out-dir outdir small.tbx old.tbx 2>err | cat; status=$?
check "batch into a folder" "" "$(cat err)"
check "batch wrote both" "old.tbx small.tbx" "$(ls outdir | tr '\n' ' ' | sed 's/ $//')"

# Japanese for a Japanese locale only: LC_ALL, then LC_MESSAGES, then LANG.
for locale in ja_JP.UTF-8 en_US.UTF-8 C.UTF-8 unset; do
  setting=LANG=$locale && [ "$locale" = unset ] && setting=
  env -u LC_ALL -u LC_MESSAGES -u LANG $setting "$tool" info missing.tbx 2>err
  [ "$locale" = ja_JP.UTF-8 ] && expected="ファイルが存在しません" || expected="the file does not exist"
  check "message under $locale" "tbxconv: missing.tbx: $expected" "$(cat err)"
done

finish

#!/usr/bin/env bash
# tbxconv.exe under the locale in KOVREL_LOCALE (through scripts/wine-run), with a folder and
# file names outside code page 932 as its arguments: it converts them as it converts plain
# names, and names them in its reports and its messages.
wine_run=$1 tool=$2 version=$3
. "$(dirname "$0")/../support/ShellChecks.sh"
check_context=${KOVREL_LOCALE:-ja_JP.UTF-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder="$work/한국어 ☃ 😀"
mkdir "$folder" && cd "$folder" || exit 1
# Runs the tool: its status in $status, its output in $work/out and $work/err.
run() { "$wine_run" "$tool" "$@" >"$work/out" 2>"$work/err"; status=$?; }
out() { tr -d '\r' <"$work/out"; }
err() { tr -d '\r' <"$work/err"; }

small_tabrix_file plain.tbx

cp plain.tbx "源 ☃.tbx"

run info "源 ☃.tbx"
check "info names the file" "0 源 ☃.tbx: 1.2" "$status $(out)"
run convert --to 1.1 "源 ☃.tbx" "先 ☃ 😀.tbx"
check "convert is quiet" "0 " "$status $(out)$(err)"
run convert --to 1.1 plain.tbx plain11.tbx
check "the same bytes as from a plain name" "same" "$(cmp -s "先 ☃ 😀.tbx" plain11.tbx && echo same)"
mkdir "出 ☃"
run convert --to 1.0 --out-dir "出 ☃" "源 ☃.tbx"
run info "出 ☃/源 ☃.tbx"
check "a batch into such a folder" "出 ☃/源 ☃.tbx: 1.0" "$(out)"

# cmd hands wildcards over as they are: the program expands them, and keeps one matching nothing.
run info "*.tbx"
check "a wildcard" "0|plain.tbx: 1.2|plain11.tbx: 1.1|先 ☃ 😀.tbx: 1.1|源 ☃.tbx: 1.2" "$status|$(out | LC_ALL=C sort | paste -sd'|')"
run info "無 ☃.tbx" "無*.tbx"
# The messages are Japanese under a Japanese display language only.
missing=ファイルが存在しません && [ "$check_context" = ja_JP.UTF-8 ] || missing="the file does not exist"
check "a missing file" "4 tbxconv: 無 ☃.tbx: $missing|tbxconv: 無*.tbx: $missing" "$status $(err | paste -sd'|')"
run "/?"
check "/? is --help" "0 Usage:" "$status $(out | head -1)"
run --version
check "--version" "0 tbxconv $version" "$status $(out)"
run frob
check "a usage error: the reason, then a pointer to --help" "1 tbxconv: unknown command 'frob'|yes|2" \
  "$status $(err | head -1)|$(err | sed -n 2p | grep -q -- '--help' && echo yes)|$(err | wc -l)"

finish

#!/usr/bin/env bash
# Builds the package target, then checks the zip: its listing, the programs as built (32-bit in
# the win32 build), the guides in a form Notepad shows (UTF-8 with BOM, CRLF), and the unpacked
# tbxconv.exe converting a file under Wine. The zip's programs are the built ones, stripped.
build=$1 name=$2 wine_run=$3 strip=$4 objdump=$5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/ShellChecks.sh"

cmake --build "$build" --target package >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
zip="$build/$name.zip"
check "listing" "$name/Kovrel.exe $name/LICENSE.txt $name/Readme-en.txt $name/Readme-ja.txt $name/tbxconv.exe" \
  "$(cmake -E tar tf "$zip" | grep -v '/$' | sort | tr '\n' ' ' | sed 's/ $//')"

cd "$work" && cmake -E tar xf "$zip" && cd "$name" || exit 1
for program in Kovrel.exe tbxconv.exe; do
  # The PE header's machine: 014c for 32-bit x86, 8664 for x64; its time stamp, and so its
  # checksum, the strip's.
  offset=$(od -An -tu4 -j60 -N4 "$program" | tr -d ' ')
  machine=$(od -An -tx2 -j$((offset + 4)) -N2 "$program" | tr -d ' ')
  "$strip" -o "$work/stripped" "$build/bin/$program"
  check "$program as built, stripped" "" \
    "$(cmp -l "$program" "$work/stripped" 2>&1 | awk -v at=$((offset + 9)) -v sum=$((offset + 89)) \
      '($1 < at || $1 > at + 3) && ($1 < sum || $1 > sum + 3)')"
  # Debugging sections: none in the zip, kept in the build for reading a crash.
  check "$program's debugging sections" "none kept" \
    "$(for f in "$program" "$build/bin/$program"; do "$objdump" -h "$f" | grep -q ' \.debug' && echo kept || echo none; done | paste -sd' ')"
  check "$program's machine" "$([[ $name == *-win32 ]] && echo 014c || echo 8664)" "$machine"
done
for guide in Readme-en.txt Readme-ja.txt; do
  check "$guide starts with a BOM" "efbbbf" "$(od -An -tx1 -N3 "$guide" | tr -d ' ')"
  check "$guide has only CRLF line ends" "$(grep -c '' "$guide")" "$(grep -c $'\r$' "$guide")"
done

small_tabrix_file small.tbx

version=${name#Kovrel-}
check "unpacked tbxconv.exe --version" "tbxconv ${version%-*}" "$("$wine_run" ./tbxconv.exe --version | tr -d '\r')"
"$wine_run" ./tbxconv.exe convert --to 1.0 small.tbx old.tbx
check "unpacked tbxconv.exe converts" "old.tbx: 1.0" "$("$wine_run" ./tbxconv.exe info old.tbx | tr -d '\r')"

finish

#!/usr/bin/env bash
# tbxconv installed as users install it: the install tree, the man page as man shows it (saying
# what --help says), and the Debian package's listing, fields and program.
build=$1 source=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/ShellChecks.sh"
files() { sed 's|^\./||' | sort | paste -sd' '; }

cmake --install "$build" --prefix "$work/p" >/dev/null || exit 1
check "install tree" "bin/tbxconv share/man/man1/tbxconv.1" "$(cd "$work/p" && find . -type f | files)"
page=$work/p/share/man/man1/tbxconv.1
shown=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>"$work/man.err" | col -bx)
check "groff -ww and man -l warn of nothing" "" "$(groff -ww -man -Tutf8 "$page" 2>&1 >/dev/null)$(cat "$work/man.err")"
check "sections" "NAME|SYNOPSIS|DESCRIPTION|OPTIONS|OUTPUT|ENVIRONMENT|EXIT STATUS|EXAMPLES|NOTES" \
  "$(grep -E '^[A-Z][A-Z ]+$' <<<"$shown" | paste -sd'|')"
flat=$(tr -s ' \n' '  ' <<<"$shown")
help=$("$work/p/bin/tbxconv" --help)
# Every option in the man page and README, every exit status as --help words it in the man page.
while read -r said; do
  [[ $said == --* ]] && in_readme=$(grep -qF -- "$said" "$source/README.md" && echo yes) || in_readme=yes
  check "the man page and README say what --help says: $said" "yes yes" "$(grep -qF -- "$said" <<<"$flat" && echo yes) $in_readme"
done < <(grep -oE -- '--[a-z-]+' <<<"$help" | sort -u; grep -E '^  [0-9]+ ' <<<"$help" | tr -s ' ')

cmake --build "$build" --target package >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$build/tbxconv_${version}_$arch.deb
check "package listing" "usr/bin/tbxconv usr/share/man/man1/tbxconv.1" "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | files)"
check "package fields" "tbxconv|$version|$arch|utils|read and convert Tabrix files of format versions 1.0, 1.1 and 1.2" \
  "$(for field in Package Version Architecture Section; do dpkg-deb -f "$deb" $field; done | paste -sd'|')|$(dpkg-deb -f "$deb" Description | head -1)"
check "package long description, dependencies" "yes yes" \
  "$(dpkg-deb -f "$deb" Description | sed -n 2p | grep -q '^ tbxconv tells' && echo yes) $(dpkg-deb -f "$deb" Depends | grep -q libc6 && echo yes)"
dpkg-deb -x "$deb" "$work/x"
check "installed and packaged program" "tbxconv $version|tbxconv $version" "$("$work/p/bin/tbxconv" --version)|$("$work/x/usr/bin/tbxconv" --version)"

finish

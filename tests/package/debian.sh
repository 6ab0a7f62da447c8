#!/usr/bin/env bash
# Builds the package target, then checks the Debian package: its listing, fields and program,
# and lintian --pedantic and mandoc -Tlint as the judges: no error, no warning, no hardening tag
# (lintian's hardening tags are informational, so every tag it gives is shown and counted).
build=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/ShellChecks.sh"
files() { sed 's|^\./||' | sort | paste -sd' '; }

cmake --build "$build" --target package >"$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
arch=$(dpkg --print-architecture)
deb=$build/tbxconv_${version}_$arch.deb
check "package listing" "usr/bin/tbxconv usr/share/bash-completion/completions/tbxconv usr/share/doc/tbxconv/changelog.gz usr/share/doc/tbxconv/copyright usr/share/man/man1/tbxconv.1.gz" \
  "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | files)"
check "package fields" "tbxconv|$version|$arch|utils|Kovrel authors <kovrel@example.org>|read and convert Tabrix files of format versions 1.0, 1.1 and 1.2" \
  "$(for field in Package Version Architecture Section Maintainer; do dpkg-deb -f "$deb" $field; done | paste -sd'|')|$(dpkg-deb -f "$deb" Description | head -1)"
check "package long description, dependencies" "yes yes" \
  "$(dpkg-deb -f "$deb" Description | sed -n 2p | grep -q '^ tbxconv tells' && echo yes) $(dpkg-deb -f "$deb" Depends | grep -q libc6 && echo yes)"
dpkg-deb -x "$deb" "$work/x"
check "packaged program" "tbxconv $version" "$("$work/x/usr/bin/tbxconv" --version)"

# Every tag lintian gives, of any level, with --pedantic; none is expected.
lintian --pedantic --display-info --display-experimental --tag-display-limit 0 "$deb" >"$work/lintian" 2>"$work/lintian.err"
check "lintian ran" 0 $?
check "lintian's tags" "" "$(cat "$work/lintian")"
check "mandoc -Tlint" "" "$(mandoc -Tlint "$work/x/usr/share/man/man1/tbxconv.1.gz" 2>&1)"
finish

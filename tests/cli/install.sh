#!/usr/bin/env bash
# tbxconv installed as users install it: the install tree with the program stripped, the man page
# as man shows it (saying what --help says, dated by the release), the copyright file with the
# terms of LICENSE, and the bash completion as bash runs it.
build=$1 source=$2 version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/../support/ShellChecks.sh"
files() { sed 's|^\./||' | sort | paste -sd' '; }

cmake --install "$build" --prefix "$work/p" >/dev/null || exit 1
check "install tree" "bin/tbxconv share/bash-completion/completions/tbxconv share/doc/tbxconv/changelog.gz share/doc/tbxconv/copyright share/man/man1/tbxconv.1.gz" \
  "$(cd "$work/p" && find . -type f | files)"
check "debugging sections and the compiler's notes: installed, built" "none kept" \
  "$(for f in "$work/p/bin/tbxconv" "$build/bin/tbxconv"; do readelf -SW "$f" | grep -qE ' \.(debug_info|comment) ' && echo kept || echo none; done | paste -sd' ')"

page=$work/p/share/man/man1/tbxconv.1.gz
doc=$work/p/share/doc/tbxconv
# How they are compressed and the copyright file's form are lintian's to judge (debian_package).
release=$(date -u -d "$(zcat "$doc/changelog.gz" | sed -n 's/^ -- .*>  //p' | head -1)" +%F)
check "the man page is dated by the release" "$release \"tbxconv $version\"" "$(zcat "$page" | sed -n '1s/^\.TH TBXCONV 1 //p' | cut -d' ' -f1-3)"
check "copyright terms are LICENSE's" "$(tail -n +5 "$source/LICENSE")" \
  "$(sed -n '/^License: MIT$/,$p' "$doc/copyright" | tail -n +2 | sed 's/^ //; s/^\.$//')"

shown=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>"$work/man.err" | col -bx)
check "groff -ww and man -l warn of nothing" "" "$(zcat "$page" | groff -ww -man -Tutf8 2>&1 >/dev/null)$(cat "$work/man.err")"
check "sections" "NAME|SYNOPSIS|DESCRIPTION|OPTIONS|OUTPUT|ENVIRONMENT|EXIT STATUS|EXAMPLES|NOTES|SEE ALSO" \
  "$(grep -E '^[A-Z][A-Z ]+$' <<<"$shown" | paste -sd'|')"
flat=$(tr -s ' \n' '  ' <<<"$shown")
help=$("$work/p/bin/tbxconv" --help)
# Every option in the man page and README, every exit status as --help words it in the man page.
while read -r said; do
  [[ $said == --* ]] && in_readme=$(grep -qF -- "$said" "$source/README.md" && echo yes) || in_readme=yes
  check "the man page and README say what --help says: $said" "yes yes" "$(grep -qF -- "$said" <<<"$flat" && echo yes) $in_readme"
done < <(grep -oE -- '--[a-z-]+' <<<"$help" | sort -u; grep -E '^  [0-9]+ ' <<<"$help" | tr -s ' ')

# The completion offers, after the words given, what --help names (for convert its own options,
# and "-"), folders for --out-dir, and Tabrix files and folders for the files.
mkdir -p "$work/c/sub" && touch "$work/c/a.tbx" "$work/c/B.TBX" "$work/c/notes.txt"
offered() {
  (cd "$work/c" && LC_ALL=C bash -c '. /usr/share/bash-completion/bash_completion; . "$1"; shift
    COMP_WORDS=(tbxconv "$@"); COMP_CWORD=$#; COMP_LINE="${COMP_WORDS[*]}"; COMP_POINT=${#COMP_LINE}
    _tbxconv; printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd" "' _ "$work/p/share/bash-completion/completions/tbxconv" "$@")
}
check "completion: commands, info's options" "--help --version convert dump info recover|--help" "$(offered '')|$(offered info --)"
check "completion: options and -" "$( (echo -; grep -oE -- '--[a-z-]+' <<<"$help") | sort -u | paste -sd' ')" \
  "$( (offered -; offered convert -; offered recover -) | tr ' ' '\n' | sort -u | paste -sd' ')"
check "completion: - once, not with --out-dir, not for recover" "--help|--help --out-dir --strict --to|--discard --help" \
  "$(offered info - -)|$(offered convert --out-dir o -)|$(offered recover -)"
check "completion: versions" "$(grep -oE 'version X\.Y \([^)]*\)' <<<"$help" | grep -oE '[0-9]\.[0-9]' | paste -sd' ')|1.1" \
  "$(offered convert --to '')|$(offered convert --to=1.1)"
check "completion: folders, files" "sub|B.TBX a.tbx sub|B.TBX a.tbx sub" \
  "$(offered convert --to 1.1 --out-dir '')|$(offered convert --to 1.1 '')|$(offered info a.tbx '')"
finish

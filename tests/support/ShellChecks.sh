# Sourced by the shell tests: check DESCRIPTION EXPECTED ACTUAL, then finish (exit: failures).
failures=0
check() {
  if [ "$2" != "$3" ]; then
    echo "FAILED${check_context:+ ($check_context)}: $1: expected [$2], got [$3]"
    failures=$((failures + 1))
  fi
}
finish() { [ "$failures" -eq 0 ] && echo "all checks passed${check_context:+ ($check_context)}"; exit "$failures"; }

# The shortest 1.2 file (319 bytes): head 3, everything else 0 but the tail words 2, 1, 2.
small_tabrix_file() {
  {
    printf '\003\000\377\377\002\001'
    head -c 301 /dev/zero
    printf '\002\000\000\000\001\000\000\000\002\000\000\000'
  } >"$1"
}

# Sourced by the shell tests: small_tabrix_file PATH writes the shortest 1.2 file (319 bytes):
# head 3, everything else 0 but the tail words 2, 1, 2.
small_tabrix_file() {
  {
    printf '\003\000\377\377\002\001'
    head -c 301 /dev/zero
    printf '\002\000\000\000\001\000\000\000\002\000\000\000'
  } >"$1"
}

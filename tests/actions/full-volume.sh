#!/bin/sh
# Mounts (setup) or removes (cleanup) a full 16 KiB tmpfs for the dialog tests, which cannot
# mount from inside Wine. Marked by .mounted; where mounting is refused the test skips.
set -u
action=$1
dir=$2

release() {
  if mountpoint -q "$dir" 2>/dev/null; then umount "$dir" || umount -l "$dir"; fi
  rm -rf "$dir"
}

case $action in
setup)
  release
  mkdir -p "$dir"
  if mount -t tmpfs -o size=16k,mode=0777 tmpfs "$dir" 2>/dev/null; then
    : >"$dir/.mounted"
    dd if=/dev/zero of="$dir/filler" bs=1k 2>/dev/null
  fi
  ;;
cleanup)
  release
  ;;
esac
exit 0

#!/bin/sh
# Mounts (setup) or removes (cleanup) the volumes of the Windows document tests, which
# cannot mount from inside Wine: a 16 KiB tmpfs marked by .mounted, and a read-only
# tmpfs holding old.tbx. Where mounting is refused the folders stay empty and the tests skip.
set -u
action=$1
dir=$2

release() {
  for volume in "$dir/small" "$dir/readonly"; do
    if mountpoint -q "$volume" 2>/dev/null; then umount "$volume" || umount -l "$volume"; fi
  done
  rm -rf "$dir"
}

case $action in
setup)
  release
  mkdir -p "$dir/small" "$dir/readonly"
  if mount -t tmpfs -o size=16k,mode=0777 tmpfs "$dir/small" 2>/dev/null; then
    : >"$dir/small/.mounted"
  fi
  if mount -t tmpfs -o size=16k,mode=0777 tmpfs "$dir/readonly" 2>/dev/null; then
    printf 'old destination' >"$dir/readonly/old.tbx"
    mount -o remount,ro "$dir/readonly" || { umount "$dir/readonly"; rm -f "$dir/readonly/old.tbx"; }
  fi
  ;;
cleanup)
  release
  ;;
esac
exit 0

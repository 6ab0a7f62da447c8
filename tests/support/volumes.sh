#!/bin/sh
# Mounts (setup) or removes (cleanup) the 16 KiB tmpfs volumes of a Windows suite, which cannot
# mount from inside Wine: DIR/small (empty), DIR/full (filled up), each marked by .mounted, and
# DIR/readonly, holding old.tbx and remounted read-only. Where mounting is refused the folders
# stay empty and the tests skip.
set -u
action=$1
dir=$2

for volume in "$dir"/*; do
  if mountpoint -q "$volume" 2>/dev/null; then umount "$volume" || umount -l "$volume"; fi
done
rm -rf "$dir"
[ "$action" = setup ] || exit 0

mounted() { mkdir -p "$1" && mount -t tmpfs -o size=16k,mode=0777 tmpfs "$1" 2>/dev/null; }
if mounted "$dir/small"; then : >"$dir/small/.mounted"; fi
if mounted "$dir/full"; then
  : >"$dir/full/.mounted"
  dd if=/dev/zero of="$dir/full/filler" bs=1k 2>/dev/null
fi
if mounted "$dir/readonly"; then
  printf 'old destination' >"$dir/readonly/old.tbx"
  mount -o remount,ro "$dir/readonly" || { umount "$dir/readonly"; rm -f "$dir/readonly/old.tbx"; }
fi
exit 0

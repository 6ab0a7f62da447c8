#!/bin/sh
# Runs a suite as the unprivileged user nobody; skipped (77) unless run as root.
[ "$(id -u)" = 0 ] || { echo "not root: cannot run as another user"; exit 77; }
exec setpriv --reuid=65534 --regid=65534 --clear-groups "$@"

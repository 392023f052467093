#!/usr/bin/env bash
# Stops what tests/harness/setup.sh started for the build tree in $1 (the prefix stays).
h=$1
[ -d "$h" ] || exit 0
if [ -d "$h/prefix" ]; then
  WINEPREFIX="$h/prefix" wineserver -k >/dev/null 2>&1 || true
fi
for f in "$h"/run/*.pid; do
  [ -f "$f" ] || continue
  kill "$(cat "$f")" >/dev/null 2>&1 || true
  rm -f "$f"
done
rm -f "$h/env"
exit 0

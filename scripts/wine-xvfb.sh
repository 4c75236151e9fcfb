#!/usr/bin/env bash
# Runs a Windows program under Wine on an Xvfb display of its own, in a fresh private Wine prefix
# (a window-system test must not share the desktop of the suite's other Wine programs). The
# prefix and the display are gone afterwards; the program's exit code is the script's. A start
# that Wine dropped before the program ran is made again (scripts/wine-retry.sh).
# Usage: scripts/wine-xvfb.sh <program.exe> [arguments...]
set -euo pipefail
. "$(dirname "$0")/wine-retry.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/rk-wine-xvfb.XXXXXX")
xvfb=
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || :
  [ -z "$xvfb" ] || { kill "$xvfb" 2>/dev/null || :; wait "$xvfb" 2>/dev/null || :; }
  rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home"
# Wine's server folder too goes with the work folder.
export TMPDIR=$work
export WINEPREFIX=$work/prefix HOME=$work/home WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"

# The display: Xvfb names it on the descriptor once it accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -r 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
while [ ! -s "$work/display" ]; do
  kill -0 "$xvfb" 2>/dev/null || { echo "Xvfb did not start" >&2; exit 1; }
  sleep 0.05
done
export DISPLAY=:$(cat "$work/display")

wineboot -i >/dev/null 2>&1 || :
wineserver -w 2>/dev/null || :
[ -f "$WINEPREFIX/system.reg" ] || { echo "could not make the Wine prefix $WINEPREFIX" >&2; exit 1; }
rc=0
wine_retry wine "$@" || rc=$?
exit $rc

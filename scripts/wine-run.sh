#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix: the Windows build's
# CMAKE_CROSSCOMPILING_EMULATOR. The prefix, its home folder and the locale come from
# scripts/test-windows.sh (RK_WINE_PREFIX, made once per run); Wine's own messages are off.
#
# Now and then, with many programs starting at once (about one start in a thousand on a loaded
# machine), the wineserver drops a starting program's connection ("wine client error:0: recvmsg:
# Connection reset by peer", silent with Wine's messages off): Wine ends non-zero before the
# program wrote a byte. Such a start is made again, up to twice, with a note on stderr; a program
# that wrote anything is never run again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${RK_WINE_PREFIX:-$top/build-windows/wine/prefix}
export HOME=${RK_WINE_HOME:-$(dirname "$WINEPREFIX")/home}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win64
out=$(mktemp "${TMPDIR:-/tmp}/rk-wine-run.XXXXXX")
trap 'rm -f "$out" "$out.err"' EXIT
for attempt in 1 2 3; do
  rc=0
  wine "$@" >"$out" 2>"$out.err" || rc=$?
  if [ "$rc" = 0 ] || [ -s "$out" ] || [ -s "$out.err" ] || [ "$attempt" = 3 ]; then break; fi
  echo "wine-run: $1 ended with $rc before writing anything (Wine did not start it); starting it again" >&2
done
cat "$out"
cat "$out.err" >&2
exit "$rc"

#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix: the Windows build's
# CMAKE_CROSSCOMPILING_EMULATOR. The prefix, its home folder and the locale come from
# scripts/test-windows.sh (RK_WINE_PREFIX, made once per run); Wine's own messages are off. A
# start that Wine dropped before the program ran is made again (scripts/wine-retry.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/wine-retry.sh"
export WINEPREFIX=${RK_WINE_PREFIX:-$top/build-windows/wine/prefix}
export HOME=${RK_WINE_HOME:-$(dirname "$WINEPREFIX")/home}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win64
wine_retry wine "$@"

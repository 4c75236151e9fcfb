#!/usr/bin/env bash
# Builds the system for Windows (scripts/build-windows.sh) and runs its test programs under Wine
# through CTest, in a private Wine prefix under build-windows/wine/ made once per run. The suites
# that need code page 936 run with Wine's locale set to Simplified Chinese (zh_CN.UTF-8, generated
# into a private LOCPATH), the rest in the default locale.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build-windows
jobs=${RK_JOBS:-$(nproc 2>/dev/null || echo 4)}

"$top/scripts/build-windows.sh"

# The Chinese locale, made privately (the machine's locale configuration stays as it is).
export LOCPATH=$out/wine/locale
if [ ! -d "$LOCPATH/zh_CN.UTF-8" ]; then
  mkdir -p "$LOCPATH"
  localedef -i zh_CN -f UTF-8 "$LOCPATH/zh_CN.UTF-8" 2>/dev/null || [ -d "$LOCPATH/zh_CN.UTF-8" ]
fi

# A fresh prefix for this run, made once before the tests start.
export RK_WINE_PREFIX=$out/wine/prefix RK_WINE_HOME=$out/wine/home
# Wine keeps its servers' folders in the temporary folder, a new one for each fresh prefix: they
# go into one of this run's own, removed at the end, with nothing of the run left running.
wine_tmp=$(mktemp -d "${TMPDIR:-/tmp}/rk-wine-run.XXXXXX")
export TMPDIR=$wine_tmp
trap 'WINEPREFIX=$RK_WINE_PREFIX HOME=$RK_WINE_HOME wineserver -k 2>/dev/null || :; rm -rf "$wine_tmp"' EXIT
rm -rf "$RK_WINE_PREFIX" "$RK_WINE_HOME"
mkdir -p "$RK_WINE_HOME"
echo "== making the Wine prefix"
WINEPREFIX=$RK_WINE_PREFIX HOME=$RK_WINE_HOME WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" \
  wineboot -i >/dev/null 2>&1 || true
WINEPREFIX=$RK_WINE_PREFIX HOME=$RK_WINE_HOME wineserver -w 2>/dev/null || true
# The wineserver saves the prefix's registry as it ends: without it no test could run.
[ -f "$RK_WINE_PREFIX/system.reg" ] || { echo "could not make the Wine prefix $RK_WINE_PREFIX" >&2; exit 1; }

run_ctest() { # <label> [ctest arguments...]
  local label=$1; shift
  echo "== Windows tests under Wine: $label"
  (cd "$out" && ctest -j "$jobs" --output-on-failure --timeout 600 "$@" |
    grep -Ev '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed |^ +Start +[0-9]+: ')
  return "${PIPESTATUS[0]}"
}

status=0
# The tests of GBK text (the string suites, and paths with double-byte characters) need the
# ANSI code page 936; they run in the Chinese locale.
cp936='^(StringCp936\.|StringWide\.|StringDoubleByte\.|FilePath\.DoubleByteNamesKeepTheirLastByte$|PackageTable\.EntryPathsNameTheSameFileWhateverTheCaseAndSeparators$|PackageTable\.DoubleByteEntryPathsAreSplitByCharacter$)'
LC_ALL=zh_CN.UTF-8 run_ctest "code page 936" -R "$cp936" || status=1
# The wineserver shuts down a few seconds after the last program of that run has gone, and a
# program that starts while it shuts down can fail before it runs ("Connection reset by peer"):
# the next run starts once it has gone.
WINEPREFIX=$RK_WINE_PREFIX HOME=$RK_WINE_HOME timeout 60 wineserver -w 2>/dev/null ||
  WINEPREFIX=$RK_WINE_PREFIX HOME=$RK_WINE_HOME wineserver -k 2>/dev/null || true
run_ctest "default locale" -E "$cp936" || status=1
exit $status

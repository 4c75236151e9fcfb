#!/usr/bin/env bash
# Installs what is missing, builds, and runs the system's main job: the installer
# (build/installer/VantrySetup.exe, the launcher followed by a package of Setup, its data and the
# product) in a private emulated machine. Where an X display answers, Setup shows its window and
# you click through it; otherwise (or with --headless) it runs on the headless display, where an
# input script (scripts/demo-pages.txt) takes it through every page with the default answers and
# saves a screenshot of each. Afterwards the script prints what was installed.
# With --windows it builds for Windows (scripts/build-windows.sh) and runs the real installer under
# Wine (scripts/wine-installer.sh): in a window where an X display answers, otherwise on Xvfb,
# driven through every page in Chinese and once in English, with a screenshot of each page.
# Usage: scripts/demo.sh [--headless | --windows [--headless]]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--windows" ]; then
  "$top/scripts/build-windows.sh"
  if [ "${2:-}" != "--headless" ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    exec "$top/scripts/wine-installer.sh" --show cn
  fi
  exec "$top/scripts/wine-installer.sh" cn en
fi
build=$top/build
"$top/scripts/setup.sh" "$build"
echo "Built into $build."

headless=0
[ "${1:-}" = "--headless" ] && headless=1
if [ "$headless" = 0 ] && { [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; }; then headless=1; fi

work=$(mktemp -d "${TMPDIR:-/tmp}/vantry-demo.XXXXXX")
prefix=$work/machine
temp=$work/tmp
mkdir -p "$prefix" "$temp"
installer=$build/installer/VantrySetup.exe

echo
if [ "$headless" = 1 ]; then
  echo "== running $installer on the headless display, driven by scripts/demo-pages.txt"
  cp "$top/scripts/demo-pages.txt" "$work/pages.txt"
  rc=0
  env -u DISPLAY RKWIN_DISPLAY=headless RKWIN_ROOT="$prefix" TMPDIR="$temp" \
    RKWIN_INPUT_SCRIPT="$work/pages.txt" RKWIN_INPUT_TIMEOUT=60 "$installer" || rc=$?
else
  echo "== running $installer in a window on $DISPLAY: click through the pages"
  rc=0
  RKWIN_ROOT="$prefix" TMPDIR="$temp" "$installer" || rc=$?
fi
echo "installer exit code: $rc"

# Setup starts the registry editor, the registration tool and the browser without waiting for
# them: wait until none of them runs in this machine (its RKWIN_ROOT in the environment); then
# end whatever of the machine still runs (a desktop shell stays until stopped), so that the demo
# leaves no process behind.
machine_processes() { # [program name pattern]
  local p
  for p in /proc/[0-9]*; do
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "RKWIN_ROOT=$prefix" || continue
    [ -z "${1:-}" ] || grep -qixE "$1" "$p/comm" 2>/dev/null || continue
    echo "${p#/proc/}"
  done
}
for _ in $(seq 1200); do [ -n "$(machine_processes 'regedit.exe|regsvr32.exe|iexplore.exe')" ] || break; sleep 0.1; done
left=$(machine_processes)
if [ -n "$left" ]; then
  # shellcheck disable=SC2086
  kill -KILL $left 2>/dev/null || :
fi

gbk() { iconv -f GBK -t UTF-8 -c | tr -d '\r'; }
install=$(ls "$prefix"/drive_c/Program\ Files/*/Vantry/install.txt 2>/dev/null | head -1 || true)
if [ -z "$install" ]; then
  echo
  echo "Nothing was installed (Setup ended before the copy)."
else
  folder=$(dirname "$(dirname "$install")")
  echo
  echo "== installed into $folder"
  (cd "$folder" && find . -mindepth 1 -printf '%y %7s  %P\n' | sort -k3)
  echo
  echo "== install.txt (the uninstall list)"
  gbk <"$install"
  if [ -f "$folder/Vantry/filelink.txt" ]; then
    echo
    echo "== filelink.txt (associations replaced)"
    gbk <"$folder/Vantry/filelink.txt"
  fi
fi
echo
echo "== shortcuts"
find "$prefix/drive_c/users" -name '*.lnk' -print0 | sort -z | while IFS= read -r -d '' link; do
  echo "${link#"$prefix/drive_c/"}"
  lnkinfo "$link" | grep -E 'Local path|Command line arguments|Description|Icon location' | sed 's/^\t*/    /'
done
echo
echo "== registry entries ($prefix/registry.reg)"
[ -f "$prefix/registry.reg" ] && gbk <"$prefix/registry.reg" | grep -v '^$' || echo "(none)"
echo
echo "== programs Setup started ($prefix/programs.log)"
cat "$prefix/programs.log" 2>/dev/null || echo "(none)"
echo
echo "== the temporary folder afterwards (the unpack folder is gone):"
ls -A "$temp" | grep . || echo "(empty)"
if [ "$headless" = 1 ]; then
  echo
  echo "== screenshots of the pages:"
  ls "$work"/shots/*.png
fi
echo
echo "Everything is in $work (remove it when done)."

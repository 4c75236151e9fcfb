#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing (only those),
# then configures and builds the project. Quiet when everything is already there.
# Usage: scripts/setup.sh [build-dir] [extra cmake arguments...]
#        scripts/setup.sh --packages [list]   (installs the packages of a list only; default
#                                              scripts/packages.txt)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
shift || true
list=$top/scripts/packages.txt
[ "$build" != --packages ] || list=${1:-$list}

missing=()
while read -r pkg; do
  pkg=${pkg%%#*}; pkg=$(echo "$pkg" | tr -d '[:space:]')
  [ -n "$pkg" ] || continue
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$pkg")
  fi
done < "$list"

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

[ "$build" != --packages ] || exit 0

jobs=$(nproc 2>/dev/null || echo 4)
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j "$jobs" -- --no-print-directory 2>&1 | grep -Ev '^\[ *[0-9]+%\]|^(Consolidate compiler|Scanning dependencies)' || true
# Fail when the build failed (the filter above hides the exit status).
cmake --build "$build" -j "$jobs" >/dev/null

#!/usr/bin/env bash
# Builds, then times the launcher's unpacking of an installer-sized package against bzip2 -dc.
# Usage: scripts/bench.sh [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" "$top/build"
"$top/build/bench/stowbench" "$top/build/launcher/stowpack" "${1:-9}"

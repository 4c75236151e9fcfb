#!/usr/bin/env bash
# Installs what is missing, builds, and runs the system's main job.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" "$top/build"
echo "Built into $top/build."

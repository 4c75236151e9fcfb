#!/usr/bin/env bash
# Builds, then times the launcher's unpacking of an installer-sized package against bzip2 -dc.
# Usage: scripts/bench.sh [runs]
# The launcher creates and deletes about 120 files per run; on ext4 without a journal creating a
# file costs more for every file deleted in the last half minute, so runs in a row (and other
# work deleting files) slow the launcher's side there. TMPDIR=/dev/shm scripts/bench.sh measures
# the launcher without that effect. Other load on the machine makes wall times unreliable; the
# system and processor times beside them help to tell.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" "$top/build"
"$top/build/bench/stowbench" "$top/build/launcher/stowpack" "${1:-9}"

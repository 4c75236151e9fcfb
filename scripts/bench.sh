#!/usr/bin/env bash
# Builds, then times the launcher's unpacking of an installer-sized package against bzip2 -dc,
# and the JPEG 2000 decoder against the Debian command-line decoders (default and small precincts).
# Usage: scripts/bench.sh [runs]
# The launcher creates and deletes about 120 files per run; on ext4 without a journal creating a
# file costs more for every file deleted in the last half minute, so runs in a row (and other
# work deleting files) slow the launcher's side there. TMPDIR=/dev/shm scripts/bench.sh measures
# the launcher without that effect. Other load on the machine makes wall times unreliable; the
# system and processor times beside them help to tell.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" "$top/build"
# Both run; the exit status says whether either missed its target or failed.
status=0
"$top/build/bench/stowbench" "$top/build/launcher/stowpack" "${1:-9}" || status=1
# 20,000 small files in ten folders, in /dev/shm, against bzip2 -dc piped into a plain writer.
"$top/build/bench/stowbench" "$top/build/launcher/stowpack" --many "${1:-9}" || status=1
"$top/bench/j2kbench" "$top/build" 3 || status=1
# The raster decoders against djpeg and the netpbm converters (reports ratios, sets no status).
"$top/scripts/decodebench.sh" || status=1
exit $status

#!/usr/bin/env bash
# Builds, then measures the peak memory of decoding a small EMF and a small WMF with large bounds
# (8000 x 6000 pixels unless given) as whole processes, against the decoded picture's bytes.
# The target is a peak of at most 1.5 times the picture; the exit status says whether both met it.
# Usage: scripts/metabench.sh [width height]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" "$top/build"
status=0
for format in emf wmf; do
  out=$(/usr/bin/time -v "$top/build/bench/metabench" "$format" "$@" 2>&1) || { echo "$out"; status=1; continue; }
  bytes=$(echo "$out" | sed -n 's/.* \([0-9]*\) bytes.*/\1/p')
  peak=$(echo "$out" | sed -n 's/.*Maximum resident set size (kbytes): \([0-9]*\).*/\1/p')
  wall=$(echo "$out" | sed -n 's/.*Elapsed (wall clock) time.*: \(.*\)/\1/p')
  echo "$out" | head -1
  F=$format B=$bytes P=$peak T=$wall awk 'BEGIN {
    f = ENVIRON["F"]; b = ENVIRON["B"]; p = ENVIRON["P"]; t = ENVIRON["T"]
    r = p * 1024 / b;
    printf "%s: peak %.1f MB for a picture of %.1f MB: %.2fx (target 1.5x), wall %s\n", f, p / 1024, b / 1048576, r, t
    exit (r <= 1.5 ? 0 : 1) }' || status=1
done
exit $status

#!/usr/bin/env bash
# Times small files whose headers promise far more work than the files hold, decoded as whole
# processes by build/bench/rkdecode (and by a second rkdecode when given, e.g. one built from an
# earlier commit): wall time and peak memory of each.
#   tiff-samples: 138 bytes, 32768 x 128 pixels of 32000 8-bit samples in one uncompressed strip
#                 of 16 bytes (1000 MB a scanline)
#   tiff-wide:    the same with 65535 x 64 pixels of 8192 samples (512 MB a scanline)
#   tiff-deflate: tiff-samples with its strip Deflate-compressed (16 bytes that do not inflate)
#   emf-handles:  a 1625 x 1625 canvas (played in 16 bands), a few shapes, 65535 handles declared
#   emf-16:       the same with 16 handles
#   wmf-objects:  the placeable metafile of the same picture, 65535 objects declared
#   ico-shared:   1000 directory entries that all point at one 1024 x 1024 32-bit image (4 MB)
# Measured on the development machine (RelWithDebInfo build, best of 3 runs), before and after
# the TIFF decoder cleared only the output samples of rows it cannot read and refused files whose
# strips hold no row, the metafile players made one object table per picture and icon groups
# stopped at the image limit:
#   file          before               after
#   tiff-samples  17.2 s  1019 MB      0.01 s    6 MB  (refused)
#   tiff-wide      4.9 s   531 MB      0.02 s    6 MB  (refused)
#   tiff-deflate  17.7 s  1018 MB      0.01 s   18 MB  (refused)
#   emf-handles   1.03 s    69 MB      0.03 s   14 MB
#   emf-16        0.04 s    14 MB      0.04 s   14 MB
#   wmf-objects   0.95 s    69 MB      0.03 s   14 MB
#   ico-shared    4.14 s  4013 MB      1.04 s 1037 MB  (the group stops at the 1 GB image limit)
# Usage: scripts/headerbench.sh [other-rkdecode] [runs]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
other=${1:-}
runs=${2:-3}
"$top/scripts/setup.sh" "$top/build"
ours=$top/build/bench/rkdecode
dir=$(mktemp -d /tmp/headerbench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
# Our decoder runs in an emulated machine of this run's, not the user's default one.
export RKWIN_ROOT=$dir/machine
cd "$dir"

# Little-endian values as bytes.
u16() { for v in "$@"; do printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $((v >> 8 & 255)))"; done; }
u32() { for v in "$@"; do u16 $((v & 65535)) $((v >> 16 & 65535)); done; }

# tiff width height samples compression: one strip of 16 bytes at offset 122.
tiff() {
  printf 'II*\0'
  u32 8
  u16 9
  u16 256 4; u32 1 "$1"
  u16 257 4; u32 1 "$2"
  u16 258 3; u32 1 8
  u16 259 3; u32 1 "$4"
  u16 262 3; u32 1 0
  u16 273 4; u32 1 122
  u16 277 3; u32 1 "$3"
  u16 278 4; u32 1 "$2"
  u16 279 4; u32 1 16
  u32 0
  for ((i = 0; i < 16; i++)); do printf "\\x$(printf %02x $((i * 17)))"; done
}
tiff 32768 128 32000 1 > tiff-samples.tif
tiff 65535 64 8192 1 > tiff-wide.tif
tiff 32768 128 32000 8 > tiff-deflate.tif

# emf handles: a header of 88 bytes, then pen, brush, shapes, a line and the end.
emfrec() { local type=$1; shift; u32 "$type" $((8 + 4 * $#)) "$@"; }
emf() {
  u32 1 88 0 0 1625 1625 0 0 0 0 0x464D4520 0x10000 0 0
  u16 "$1" 0
  u32 0 0 0 0 0 0 0 0
  emfrec 38 1 0 1 0 0x0000FF
  emfrec 39 2 0 0xFF8000 0
  emfrec 37 1
  emfrec 37 2
  emfrec 43 100 100 900 1500
  emfrec 44 600 200 1600 1400 200 200
  emfrec 27 0 0
  emfrec 54 1624 1624
  emfrec 14 0 16 0
}
emf 65535 > emf-handles.emf
emf 16 > emf-16.emf

# wmf objects: placeable header (96 units an inch), metafile header, the same picture.
wmfrec() { local fn=$1; shift; u32 $((3 + $#)); u16 "$fn" "$@"; }
wmf() {
  local head=(0xCDD7 0x9AC6 0 0 0 1625 1625 96 0 0) sum=0
  for v in "${head[@]}"; do u16 "$v"; sum=$((sum ^ v)); done
  u16 "$sum" 1 9 0x300
  u32 1000
  u16 "$1"
  u32 100
  u16 0
  wmfrec 0x02FA 0 1 0 0x00FF 0
  wmfrec 0x02FC 0 0x8000 0x00FF 0
  wmfrec 0x012D 0
  wmfrec 0x012D 1
  wmfrec 0x041B 1500 900 100 100
  wmfrec 0x061C 200 200 1400 1600 200 600
  wmfrec 0x0214 0 0
  wmfrec 0x0213 1624 1624
  wmfrec 0
}
wmf 65535 > wmf-objects.wmf

# ico entries: entries listings of one 1024 x 1024 image of 32 bits (rows of 0, mask of 0).
ico() {
  local entries=$1 image=$((40 + 1024 * 1024 * 4 + 128 * 1024))
  u16 0 1 "$entries"
  for ((i = 0; i < entries; i++)); do u32 0 $((1 | 32 << 16)) "$image" $((6 + 16 * entries)); done
  u32 40 1024 2048
  u16 1 32
  u32 0 0 0 0 0 0
  head -c $((image - 40)) /dev/zero
}
ico 1000 > ico-shared.ico

. "$top/scripts/measure.sh"

printf '%-18s %8s %10s %8s %8s' file bytes result ours_s ours_MB
[ -z "$other" ] || printf ' %8s %8s %10s' other_s other_MB other
printf '\n'
for file in tiff-samples.tif tiff-wide.tif tiff-deflate.tif emf-handles.emf emf-16.emf wmf-objects.wmf ico-shared.ico; do
  result=$("$ours" "$file" > /dev/null 2>&1 && echo decoded || echo refused)
  read -r s kb <<< "$(measure "$ours" "$file")"
  printf '%-18s %8d %10s %8.2f %8d' "$file" "$(stat -c %s "$file")" "$result" "$s" $((kb / 1024))
  if [ -n "$other" ]; then
    result=$("$other" "$file" > /dev/null 2>&1 && echo decoded || echo refused)
    read -r s kb <<< "$(measure "$other" "$file")"
    printf ' %8.2f %8d %10s' "$s" $((kb / 1024)) "$result"
  fi
  printf '\n'
done

#!/usr/bin/env bash
# Times the imaging library's decoders against Debian's command-line decoders, whole process
# against whole process: build/bench/rkdecode (decodes one file into a picture in memory) beside
# djpeg -pnm and the netpbm converters, each writing to /dev/null, on a 12-megapixel picture
# (4000 x 3000) made here by netpbm. Reports the best wall time of several runs of each side,
# their ratio (ours / theirs) and each side's peak memory; a start-up line times both sides on
# a file they refuse. Other load on the machine makes wall times unreliable: run it on a quiet one.
# Usage: scripts/decodebench.sh [runs]   (needs netpbm and libjpeg-turbo-progs)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-7}
"$top/scripts/setup.sh" "$top/build"
ours=$top/build/bench/rkdecode
dir=$(mktemp -d /tmp/decodebench.XXXXXX)
trap 'rm -rf "$dir"' EXIT
# Our decoder runs in an emulated machine of this run's, not the user's default one.
export RKWIN_ROOT=$dir/machine

cd "$dir"
ppmpat -anticamo 4000 3000 > big.ppm 2>/dev/null
ppmpat -gingham3 4000 3000 > few.ppm 2>/dev/null
cjpeg -quality 90 big.ppm > big.jpg
ppmtopgm big.ppm > big.pgm
ppmtobmp -bpp 24 big.ppm > big.bmp 2>/dev/null
pnmtotiff big.ppm > big.tif 2>/dev/null
pnmtotiff -lzw big.ppm > lzw.tif 2>/dev/null
ppmtopcx -24bit big.ppm > big.pcx 2>/dev/null
pamtotga -rgb big.ppm > big.tga 2>/dev/null
ppmtogif few.ppm > few.gif 2>/dev/null
printf 'not a picture' > none.bmp

. "$top/scripts/measure.sh"

printf '%-10s %-22s %8s %8s %7s %10s %10s\n' file reference ours_s theirs_s ratio ours_KB theirs_KB
compare() {
  local file=$1
  shift
  read -r os om <<< "$(measure "$ours" "$file")"
  read -r ts tm <<< "$(measure "$@" "$file")"
  F=$file R="$*" OS=$os TS=$ts OM=$om TM=$tm awk 'BEGIN {
    printf "%-10s %-22s %8.3f %8.3f %6.2fx %10d %10d\n", ENVIRON["F"], ENVIRON["R"], ENVIRON["OS"],
      ENVIRON["TS"], ENVIRON["OS"] / ENVIRON["TS"], ENVIRON["OM"], ENVIRON["TM"] }'
}
compare none.bmp bmptopnm
compare big.jpg djpeg -pnm
compare big.ppm pamtopnm
compare big.pgm pamtopnm
compare big.bmp bmptopnm
compare big.tif tifftopnm
compare lzw.tif tifftopnm
compare big.pcx pcxtoppm
compare big.tga tgatoppm
compare few.gif giftopnm

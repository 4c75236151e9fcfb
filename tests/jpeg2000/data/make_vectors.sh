#!/bin/sh
# Regenerates the JPEG 2000 test vectors of this folder with the OpenJPEG command-line tools
# (Debian package libopenjp2-tools): each NAME.j2k / NAME.jp2 with the picture it was made from
# (NAME.src*.pgx, one file per component) and, for irreversible streams, the tools' own decode
# (NAME.ref*.pgx).
set -e
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# pgx W H DEPTH SIGNED COMPONENT OUT: a deterministic picture as one PGX file.
pgx() {
  python3 - "$@" <<'PY'
import sys
w, h, d, signed, c, out = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4] == '1', int(sys.argv[5]), sys.argv[6]
nbytes = 1 if d <= 8 else 2
lo, hi = (-(1 << (d - 1)), (1 << (d - 1)) - 1) if signed else (0, (1 << d) - 1)
data = bytearray()
for y in range(h):
    for x in range(w):
        v = (x * 37 + y * 23 + c * 1000 + ((x * y * 7) % 101)) * (1 << d) // 700
        v = lo + (v % (hi - lo + 1))
        data += (v & ((1 << (8 * nbytes)) - 1)).to_bytes(nbytes, 'big')
with open(out, 'wb') as f:
    f.write(b'PG ML %s %d %d %d\n' % (b'-' if signed else b'+', d, w, h) + bytes(data))
PY
}

# make NAME EXT W H DEPTH SIGNED COMPONENTS REFERENCE OPTIONS...
make() {
  name=$1 ext=$2 w=$3 h=$4 d=$5 s=$6 n=$7 ref=$8
  shift 8
  for c in $(seq 0 $((n - 1))); do pgx "$w" "$h" "$d" "$s" "$c" "$name.src$c.pgx"; done
  # The encoder reads the components from raw input (its PGX reader mistakes some depths).
  {
    python3 - "$tmp/in.raw" "$w" "$h" "$d" "$n" "$name" <<'PY'
import sys
out, w, h, d, n, name = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
nbytes = 1 if d <= 8 else 2
data = bytearray()
for c in range(n):
    body = open('%s.src%d.pgx' % (name, c), 'rb').read()
    body = body[body.index(b'\n') + 1:]
    data += body
open(out, 'wb').write(bytes(data))
PY
    sg=u; [ "$s" = 1 ] && sg=s
    sub=$(for c in $(seq 1 "$n"); do printf '1x1:'; done); sub=${sub%:}
    opj_compress -i "$tmp/in.raw" -F "$w,$h,$n,$d,$sg@$sub" -o "$name.$ext" "$@" > /dev/null
  }
  if [ "$ref" = 1 ]; then
    opj_decompress -i "$name.$ext" -o "$tmp/ref.pgx" > /dev/null
    for c in $(seq 0 $((n - 1))); do mv "$tmp/ref_$c.pgx" "$name.ref$c.pgx" 2>/dev/null || mv "$tmp/ref.pgx" "$name.ref$c.pgx"; done
  fi
}

make r53_rgb8      j2k 64 48 8  0 3 0 -n 5
make r53_grey8     j2k 45 31 8  0 1 0 -n 3 -t 20,12 -d 3,5 -T 1,1
make r53_grey4     j2k 23 19 4  0 1 0 -n 3
make r53_grey12    j2k 40 30 12 0 1 0 -n 4 -b 16,16
make r53_grey16    j2k 33 21 16 0 1 0 -n 3
make r53_signed12  j2k 30 20 12 1 1 0 -n 3
make r53_rgb12     j2k 32 24 12 0 3 0 -n 3 -p RPCL -c [16,16],[8,8],[8,8]
make r53_roi       j2k 32 32 8  0 3 0 -n 3 -ROI c=0,U=5
make r53_modes     j2k 37 29 8  0 1 0 -n 4 -M 63 -b 8,8 -SOP -EPH -p CPRL -r 30,10,1
make r53_nodwt     j2k 20 10 8  0 3 0 -n 1 -mct 0
make i97_rgb8      j2k 48 40 8  0 3 1 -n 4 -I
make i97_grey8     j2k 37 23 8  0 1 1 -n 3 -I -d 3,1 -t 16,16
make i97_grey12    j2k 40 30 12 0 1 1 -n 4 -I
make i97_rgb10     j2k 32 32 10 0 3 1 -n 3 -I -r 20
make jp2_rgb8      jp2 30 20 8  0 3 0 -n 3
make jp2_grey8     jp2 24 24 8  0 1 0 -n 3
make i97_rgb8_big  j2k 96 80 8  0 3 1 -n 4 -I -b 16,16
make i97_grey12_big j2k 72 60 12 0 1 1 -n 4 -I -b 16,16
make r53_rgb16     j2k 40 30 16 0 3 0 -n 3
make r53_erterm    j2k 40 32 8  0 1 0 -n 3 -M 16
# The same stream with one bit of a code-block's data flipped: the block decodes to its end,
# but its termination shows the damage.
python3 - <<'PY'
d = bytearray(open('r53_erterm.j2k', 'rb').read())
d[d.index(b'\xff\x93') + 2 + 55] ^= 0x40
open('r53_erterm_bad.j2k', 'wb').write(bytes(d))
PY

# A tall grey picture (256 x 65,536), lossy at a high rate so that the stream stays small; only
# the stream is kept (the decoder's working memory is what its test checks).
python3 - "$tmp/tall.pgm" <<'PY'
import math, sys
w, h = 256, 65536
out = bytearray(b'P5\n%d %d\n255\n' % (w, h))
for y in range(h):
    out += bytes((int(128 + 100 * math.sin(x / 9.0 + y / 31.0)) & 255) for x in range(w))
open(sys.argv[1], 'wb').write(out)
PY
opj_compress -i "$tmp/tall.pgm" -o i97_tall.j2k -I -r 2000 > /dev/null

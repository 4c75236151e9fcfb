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

# Progression-order changes in tile-part headers (-POC T<n> is tile n - 1). The encoder writes a
# tile's POC segment in its first tile-part header and starts a new tile-part at each record; it
# gives every tile that has records the records listed first, so tiles with records share them.
# lossless NAME COMPONENTS: the tools' decode of a reversible stream must be its picture.
lossless() {
  opj_decompress -i "$1.j2k" -o "$tmp/dec.pgx" > /dev/null
  for c in $(seq 0 $(($2 - 1))); do
    out="$tmp/dec_$c.pgx"; [ "$2" = 1 ] && out="$tmp/dec.pgx"
    python3 - "$out" "$1.src$c.pgx" <<'PY'
import sys
a, b = (open(p, 'rb').read() for p in sys.argv[1:3])
if a[a.index(b'\n') + 1:] != b[b.index(b'\n') + 1:]:
    sys.exit('%s: the tools do not decode %s exactly' % (sys.argv[2], sys.argv[1]))
PY
  done
}
# The first of four tiles in CPRL for resolutions 0-2, then RLCP: two tile-parts.
make r53_poc_tiles  j2k 48 48 8  0 3 0 -n 6 -t 32,32 -POC T1=0,0,1,3,3,CPRL/T1=3,0,1,6,3,RLCP
lossless r53_poc_tiles 3
# One tile in the middle of twelve, with four precincts at its top resolution: PCRL, then CPRL.
make r53_poc_12t    j2k 32 24 8  0 3 0 -n 3 -t 8,8 -c [4,4] -POC T7=0,0,1,2,3,PCRL/T7=2,0,1,3,3,CPRL
lossless r53_poc_12t 3
# Three layers in each record, with SOP, EPH and PLT, in the second of two tiles.
make r53_poc_sop    j2k 32 16 8  0 3 0 -n 4 -t 16,16 -r 20,5,1 -c [16,16],[8,8] -SOP -EPH -PLT -POC T2=0,0,3,2,3,PCRL/T2=2,0,3,4,3,CPRL
lossless r53_poc_sop 3
# A tile-part per layer of each record (-TP L): six tile-parts for the first tile.
make r53_poc_tpl    j2k 32 24 8  0 3 0 -n 4 -t 16,24 -r 20,5,1 -POC T1=0,0,3,2,3,LRCP/T1=2,0,3,4,3,RPCL -TP L
lossless r53_poc_tpl 3
# Irreversible, the first and the last of four tiles with records.
make i97_poc        j2k 48 40 8  0 3 1 -n 4 -t 24,24 -I -r 8 -POC T1=0,0,1,2,3,CPRL/T1=2,0,1,4,3,RLCP/T4=0,0,1,2,3,CPRL/T4=2,0,1,4,3,RLCP
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

#!/usr/bin/env bash
# Builds the decoders' libFuzzer entry points with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs each for a while, four at a time.
# Usage: scripts/fuzz.sh [seconds per decoder, default 60] [decoder names...]
# Crashes are written to build-fuzz/crashes/<decoder>/; corpora grow in build-fuzz/corpus/.
# An input that takes longer than RK_FUZZ_TIMEOUT seconds (default 10) counts as a failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build-fuzz
seconds=${1:-60}
shift || true
names=("$@")
[ ${#names[@]} -gt 0 ] || names=(bmp gif ico tga pcx pnm pgx ras wmf emf jpc jp2)

flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DRK_FUZZ=ON -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
targets=()
for n in "${names[@]}"; do targets+=("fuzz_$n"); done
cmake --build "$build" -j 4 --target "${targets[@]}" >/dev/null

# Seeds: a few small files of each format, written by netpbm where it is installed.
seed() {
  local dir=$build/corpus/$1; shift
  mkdir -p "$dir"
  [ -n "$(ls -A "$dir")" ] && return 0
  printf 'P6\n3 2\n255\n\377\0\0\0\377\0\0\0\377\377\377\377\0\0\0\20\40\60' > "$dir/seed.ppm"
  if command -v "$1" >/dev/null 2>&1; then "$@" < "$dir/seed.ppm" > "$dir/seed.out" 2>/dev/null || true; fi
}
seed bmp ppmtobmp -bpp 24
seed gif pamtogif -interlace
seed ico ppmtowinicon
seed tga pamtotga -cmap
seed pcx ppmtopcx -8bit
seed pnm pnmtoplainpnm
seed pgx true
printf 'PG ML +12 2 1\n\1\2\3\4' > "$build/corpus/pgx/seed.pgx"
seed ras pnmtorast -standard
# The metafile decoders start from an empty corpus.
mkdir -p "$build/corpus/wmf" "$build/corpus/emf"
# JPEG 2000 code-streams and JP2 files: the test files.
copy_seeds() { # <corpus> <extension>
  mkdir -p "$build/corpus/$1"
  [ -n "$(ls -A "$build/corpus/$1")" ] || cp "$top"/tests/jpeg2000/data/*."$2" "$build/corpus/$1/"
}
copy_seeds jpc j2k
copy_seeds jp2 jp2

status=0
run() {
  local n=$1
  mkdir -p "$build/crashes/$n"
  # libFuzzer takes one dictionary: a JP2 file holds a code-stream, so its run gets the
  # code-stream markers as well as the box types.
  local parts=("$n") files=() dict=() d
  [ "$n" = jp2 ] && parts=(jpc jp2)
  for d in "${parts[@]}"; do [ -f "$top/tests/fuzz/$d.dict" ] && files+=("$top/tests/fuzz/$d.dict"); done
  if [ ${#files[@]} -gt 0 ]; then
    cat "${files[@]}" > "$build/$n.dict"
    dict=(-dict="$build/$n.dict")
  fi
  if ! ASAN_OPTIONS=detect_leaks=1 "$build/tests/fuzz/fuzz_$n" "${dict[@]}" -max_total_time="$seconds" -max_len=65536 \
       -timeout="${RK_FUZZ_TIMEOUT:-10}" -rss_limit_mb=2048 -artifact_prefix="$build/crashes/$n/" "$build/corpus/$n" \
       > "$build/fuzz_$n.log" 2>&1; then
    echo "fuzz_$n: FAILED (see $build/fuzz_$n.log and $build/crashes/$n/)"
    return 1
  fi
  echo "fuzz_$n: $(grep -Eo 'Done [0-9]+ runs' "$build/fuzz_$n.log" | tail -1)"
}
pids=()
for n in "${names[@]}"; do
  run "$n" &
  pids+=($!)
  if [ ${#pids[@]} -ge 4 ]; then wait "${pids[0]}" || status=1; pids=("${pids[@]:1}"); fi
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status

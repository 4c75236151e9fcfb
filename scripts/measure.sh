# Sourced by the decoder benchmarks: measure runs a command $runs times (runs: the caller's
# variable) in the current folder and prints its best wall time and its peak memory over the
# runs as "seconds kilobytes". The command's output and exit status are not looked at.
measure() {
  local best=999999999999 peak=0 start end ns kb
  for ((i = 0; i < runs; i++)); do
    start=$(date +%s%N)
    /usr/bin/time -f %M -o mem.txt "$@" > /dev/null 2>&1 || true
    end=$(date +%s%N)
    ns=$((end - start))
    ((ns < best)) && best=$ns
    kb=$(tail -1 mem.txt)
    ((kb > peak)) && peak=$kb
  done
  NS=$best KB=$peak awk 'BEGIN { printf "%.3f %d", ENVIRON["NS"] / 1e9, ENVIRON["KB"] }'
}

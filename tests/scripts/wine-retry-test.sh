#!/usr/bin/env bash
# wine_retry starts a command again only when it ended non-zero having written nothing but Wine's
# own report of a dropped connection; its output reaches the caller as it comes, with its exit code.
# Usage: wine-retry-test.sh <path of scripts/wine-retry.sh>
set -uo pipefail
. "${1:?usage: wine-retry-test.sh WINE-RETRY-SCRIPT}"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
export TMPDIR=$dir
failures=0

# fake <behaviour>: counts its starts in $dir/starts and acts as a Wine start would.
fake() {
  echo start >>"$dir/starts"
  local n
  n=$(wc -l <"$dir/starts")
  case $1 in
    dropped-once) # the first start is dropped with Wine's report (localized system text)
      if [ "$n" = 1 ]; then
        echo 'wine client error:0: recvmsg: 连接被对方重设' >&2
        return 1
      fi
      echo "ran"
      return 0 ;;
    silent) return 3 ;;
    always-dropped)
      echo 'wine client error:0: recvmsg: Connection reset by peer' >&2
      return 1 ;;
    failed-with-message) echo "the program's own failure" >&2; return 1 ;;
    failed-after-output) echo "[ RUN      ] Some.Test"; return 1 ;;
    report-and-message)
      echo 'wine client error:0: recvmsg: Connection reset by peer' >&2
      echo "the program's own failure" >&2
      return 1 ;;
    passed) echo "fine"; return 0 ;;
  esac
}

# expect <behaviour> <exit code> <starts> <standard output>
expect() {
  rm -f "$dir/starts"
  local out rc starts
  out=$(wine_retry fake "$1" 2>"$dir/err")
  rc=$?
  starts=$(wc -l <"$dir/starts")
  if [ "$rc" != "$2" ] || [ "$starts" != "$3" ] || [ "$out" != "$4" ]; then
    echo "FAILED $1: exit $rc (want $2), starts $starts (want $3), output '$out' (want '$4')"
    sed 's/^/  stderr: /' "$dir/err"
    failures=$((failures + 1))
  fi
}

expect dropped-once 0 2 "ran"
expect silent 3 3 ""
expect always-dropped 1 3 ""
expect failed-with-message 1 1 ""
expect failed-after-output 1 1 "[ RUN      ] Some.Test"
expect report-and-message 1 1 ""
expect passed 0 1 "fine"

# A program's own error output is passed on; nothing of its copy is left behind.
rm -f "$dir/starts"
wine_retry fake failed-with-message 2>"$dir/err" >/dev/null
grep -q "the program's own failure" "$dir/err" || { echo "FAILED: error output not passed on"; failures=$((failures + 1)); }
leftovers=$(find "$dir" -name 'rk-wine-retry.*' | wc -l)
[ "$leftovers" = 0 ] || { echo "FAILED: $leftovers held output files left"; failures=$((failures + 1)); }

# Output reaches the caller as it comes: a command that prints a line and hangs shows the line
# before it is killed with its whole process tree (as a test's time limit does), and leaves nothing.
export WINE_RETRY_SCRIPT=$1
setsid bash -c '. "$WINE_RETRY_SCRIPT"; hang() { echo "[ RUN      ] Hanging.Test"; exec sleep 600; }; wine_retry hang' \
  >"$dir/hang.out" 2>&1 &
hanging=$!
for _ in $(seq 400); do
  grep -q 'Hanging.Test' "$dir/hang.out" && break
  sleep 0.05
done
kill -KILL -- "-$hanging" 2>/dev/null
wait "$hanging" 2>/dev/null
grep -q 'Hanging.Test' "$dir/hang.out" || { echo "FAILED: the hanging command's output was not shown"; failures=$((failures + 1)); }
leftovers=$(find "$dir" -name 'rk-wine-retry.*' | wc -l)
[ "$leftovers" = 0 ] || { echo "FAILED: $leftovers held output files left by a killed run"; failures=$((failures + 1)); }

[ "$failures" = 0 ] && echo "wine_retry: all cases passed"
exit $((failures > 0))

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: a normal build and a
# build with AddressSanitizer and UndefinedBehaviorSanitizer. RK_TEST_QUICK=1 skips the second.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 4)

# Runs a build's tests with a home folder of their own and no RKWIN_ROOT, as a user runs them:
# every test works in a scratch machine, so the emulated machine's default prefix (~/.rkwin), or
# anything else of an emulated machine, appearing in that home is a fault.
run_suite() {
  local build=$1; shift
  "$top/scripts/setup.sh" "$build" "$@"
  local home status=0 left
  home=$(mktemp -d "${TMPDIR:-/tmp}/rk-test-home-XXXXXX")
  (cd "$build" && env -u RKWIN_ROOT HOME="$home" ctest -j "$jobs" --output-on-failure --timeout 600 |
    grep -Ev '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed |^ +Start +[0-9]+: '
    exit "${PIPESTATUS[0]}") || status=$?
  left=$(find "$home" \( -name .rkwin -o -name drive_c \) -print -prune)
  rm -rf "$home"
  if [ -n "$left" ]; then
    echo "The tests made an emulated machine in the user's home:" >&2
    echo "$left" >&2
    status=1
  fi
  return "$status"
}

echo "== format check"
"$top/scripts/setup.sh" --packages
"$top/scripts/format.sh" --check

if [ "${RK_TEST_QUICK:-0}" != 1 ]; then
  echo "== sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    run_suite "$top/build-asan" -DRK_SANITIZE=ON
fi
echo "== normal build"
run_suite "$top/build"

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite twice: a normal build and a
# build with AddressSanitizer and UndefinedBehaviorSanitizer. RK_TEST_QUICK=1 skips the second.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
jobs=$(nproc 2>/dev/null || echo 4)

run_suite() {
  local build=$1; shift
  "$top/scripts/setup.sh" "$build" "$@"
  (cd "$build" && ctest -j "$jobs" --output-on-failure --timeout 600 | grep -Ev '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed |^ +Start +[0-9]+: ')
  return "${PIPESTATUS[0]}"
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

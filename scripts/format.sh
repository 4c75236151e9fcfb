#!/usr/bin/env bash
# Formats every C and C++ file of the project with clang-format and the style in .clang-format.
# With --check, changes nothing and fails when a file is not formatted.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
mapfile -t files < <(git ls-files -- '*.c' '*.cpp' '*.h' '*.hpp' '*.cc')
if [ "${1:-}" = --check ]; then
  if ! clang-format --dry-run -Werror "${files[@]}" 2>/tmp/rk-format.$$; then
    grep -E '^[^ ].*: (error|warning):' /tmp/rk-format.$$ | cut -d: -f1 | sort -u | sed 's/^/not formatted: /' >&2
    rm -f /tmp/rk-format.$$
    echo "Run scripts/format.sh to format them." >&2
    exit 1
  fi
  rm -f /tmp/rk-format.$$
else
  clang-format -i "${files[@]}"
fi

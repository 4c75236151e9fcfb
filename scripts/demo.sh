#!/usr/bin/env bash
# Installs what is missing, builds, and runs the system's main job: an installer made of the
# launcher and a small package unpacks itself into a time-stamped folder under the temporary
# folder, starts the packed program (until Setup exists, a demo program that reports where it
# runs and what lies beside it), waits for it and deletes the folder again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$top/build
"$top/scripts/setup.sh" "$build"
echo "Built into $build."

work=$(mktemp -d "${TMPDIR:-/tmp}/stowpack-demo.XXXXXX")
trap 'rm -rf "$work"' EXIT
src=$work/package
mkdir -p "$src/docs" "$src/图片" "$work/tmp" "$work/prefix/drive_c"
cp "$build/tools/demoprogram" "$src/Setup.exe"
printf 'key=value\r\n' > "$src/setup_en.properties"
printf 'A licence text.\r\n' > "$src/license_en.txt"
printf 'Nested file.\n' > "$src/docs/readme.txt"
head -c 20000 /dev/urandom > "$src/图片/标志.bmp"

echo
echo "== writing the installer (launcher + package of $src)"
"$build/tools/packwriter" "$build/launcher/stowpack" "$src" Setup.exe "$work/installer.exe"

echo
echo "== running it with TMPDIR=$work/tmp"
TMPDIR=$work/tmp RKWIN_ROOT=$work/prefix "$work/installer.exe"
echo "installer exit code: $?"

echo
echo "== the temporary folder afterwards (the unpack folder is gone):"
ls -la "$work/tmp"

#!/usr/bin/env bash
# Builds the system for 64-bit Windows into build-windows/: installs what is missing from Debian,
# cross-builds the dependencies (zlib, bzip2, libpng, libjpeg with its 6b interface, libtiff) as
# static libraries from Debian's own source packages into build-windows/deps/ (a second run skips
# them), then configures and builds stowpack.exe, setup.exe, the installer VantrySetup.exe and the
# Windows test programs with cmake/x86_64-w64-mingw32.cmake. The two build-time tools (the logo
# generator and the package writer) are built for this machine in build-windows/host/.
# Usage: scripts/build-windows.sh [extra cmake arguments for the Windows build...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build-windows
deps=$out/deps
jobs=${RK_JOBS:-$(nproc 2>/dev/null || echo 4)}
mingw=x86_64-w64-mingw32
toolchain=$top/cmake/$mingw.cmake

# --- Debian packages -------------------------------------------------------------------------
"$top/scripts/setup.sh" --packages
"$top/scripts/setup.sh" --packages "$top/scripts/packages-windows.txt"

# --- Dependencies from Debian's source packages ------------------------------------------------
# A private apt configuration with the deb-src line (same URI, suite and component as the
# machine's own sources); the machine's configuration stays as it is.
apt_dir=$out/apt
apt_opts=()
fetch_sources() {
  mkdir -p "$apt_dir/lists/partial" "$deps/src"
  if [ ! -f "$apt_dir/sources" ]; then
    local sys=/etc/apt/sources.list.d/debian.sources uri suite comp
    if [ -f "$sys" ]; then
      uri=$(awk '/^URIs:/ {print $2; exit}' "$sys")
      suite=$(awk '/^Suites:/ {print $2; exit}' "$sys")
      comp=$(awk '/^Components:/ {print $2; exit}' "$sys")
    else
      read -r uri suite comp < <(awk '$1 == "deb" && $2 !~ /^\[/ {print $2, $3, $4; exit}' /etc/apt/sources.list)
    fi
    printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
      "$uri" "$suite" "$comp" >"$apt_dir/sources.sources"
    touch "$apt_dir/sources"
  fi
  apt_opts=(-o "Dir::Etc::SourceList=$apt_dir/sources.sources" -o Dir::Etc::SourceParts=/dev/null
            -o "Dir::State::Lists=$apt_dir/lists" -o Dir::Etc::Preferences=/dev/null
            -o Dir::Etc::PreferencesParts=/dev/null)
  # Downloads into the build folder as this user (root cannot hand them to apt's sandbox user).
  [ "$(id -u)" -ne 0 ] || apt_opts+=(-o APT::Sandbox::User=root)
  [ -n "$(ls "$apt_dir/lists" | grep -i sources || true)" ] || apt-get "${apt_opts[@]}" update -qq
}

# source_tree <package>: fetches and unpacks <package>'s Debian source; prints the folder.
source_tree() {
  local pkg=$1 dsc
  dsc=$(ls "$deps/src/${pkg}_"*.dsc 2>/dev/null | head -1 || true)
  if [ -z "$dsc" ]; then
    (cd "$deps/src" && apt-get "${apt_opts[@]}" source --download-only -qq "$pkg" >/dev/null)
    dsc=$(ls "$deps/src/${pkg}_"*.dsc | head -1)
  fi
  local dir=$deps/src/$pkg
  rm -rf "$dir"
  dpkg-source --no-check -x "$dsc" "$dir" >/dev/null
  echo "$dir"
}

cross_cmake() { # <source> <build> [cmake arguments...]
  local src=$1 bld=$2; shift 2
  cmake -S "$src" -B "$bld" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DRK_WINDOWS_DEPS="$deps" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF \
    -DCMAKE_POLICY_DEFAULT_CMP0074=NEW "$@" >/dev/null
  cmake --build "$bld" -j "$jobs" >/dev/null
  cmake --install "$bld" >/dev/null
}

cc=$mingw-gcc-posix
ar=$mingw-gcc-ar-posix
compile_static() { # <source> <library> <C file base names...>: a static library of those files
  local s=$1 lib=$2 f; shift 2
  for f in "$@"; do $cc -O2 -c "$s/$f.c" -o "$s/$f.o" & done
  wait
  (cd "$s" && $ar rcs "$deps/lib/$lib" "${@/%/.o}")
}
build_zlib() {
  local s; s=$(source_tree zlib)
  compile_static "$s" libz.a adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback \
    inffast inflate inftrees trees uncompr zutil
  install -m 644 "$s/zlib.h" "$s/zconf.h" "$deps/include/"
}
build_bzip2() {
  local s; s=$(source_tree bzip2)
  compile_static "$s" libbz2.a blocksort huffman crctable randtable compress decompress bzlib
  install -m 644 "$s/bzlib.h" "$deps/include/"
}
build_libpng() {
  local s; s=$(source_tree libpng1.6)
  cross_cmake "$s" "$s/_build" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DPNG_HARDWARE_OPTIMIZATIONS=OFF -DSKIP_INSTALL_EXECUTABLES=ON -DSKIP_INSTALL_PROGRAMS=ON
}
build_libjpeg() {
  local s; s=$(source_tree libjpeg-turbo)
  cross_cmake "$s" "$s/_build" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
    -DWITH_JPEG7=OFF -DWITH_JPEG8=OFF
}
build_libtiff() {
  local s; s=$(source_tree tiff)
  cross_cmake "$s" "$s/_build" -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dtiff-deprecated=OFF -Dcxx=OFF -Djbig=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dlerc=OFF \
    -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg12=OFF -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON
}

build_googletest() { # from Debian's libgtest-dev and libgmock-dev sources
  rm -rf "$deps/src/googletest"
  cross_cmake /usr/src/googletest "$deps/src/googletest" -Dgtest_disable_pthreads=OFF
}

mkdir -p "$deps/lib" "$deps/include"
for dep in zlib bzip2 libpng libjpeg libtiff googletest; do
  [ -f "$deps/.$dep.done" ] && continue
  [ ${#apt_opts[@]} -gt 0 ] || [ $dep = googletest ] || fetch_sources
  echo "== building $dep for Windows"
  "build_$dep"
  touch "$deps/.$dep.done"
done

# --- Build-time tools for this machine -----------------------------------------------------------
host=$out/host
cmake -S "$top" -B "$host" -DCMAKE_BUILD_TYPE=Release -DRK_BUILD_TESTS=OFF >/dev/null
cmake --build "$host" -j "$jobs" --target make_logos packwriter >/dev/null

# --- The system and its test programs for Windows -------------------------------------------------
cmake -S "$top" -B "$out" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DRK_WINDOWS_DEPS="$deps" \
  -DRK_HOST_TOOLS="$host" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$out" -j "$jobs" -- --no-print-directory 2>&1 |
  grep -Ev '^\[ *[0-9]+%\]|^(Consolidate compiler|Scanning dependencies)' || true
# Fail when the build failed (the filter above hides the exit status).
cmake --build "$out" -j "$jobs" >/dev/null
echo "Windows build: $out/launcher/stowpack.exe $out/wizard/setup.exe $out/installer/VantrySetup.exe"

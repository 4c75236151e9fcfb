#!/usr/bin/env bash
# Reading a Wine prefix back: a failed `reg export` is made again and never read as a key without
# values; a key that is not there reads as missing; a registry that cannot be read is reported as
# such. Waiting for a prefix's programs lasts until they have ended. Stand-in `wine` and
# `wineserver` commands on PATH act as Wine would.
# Usage: wine-readback-test.sh <scripts folder>
set -uo pipefail
scripts=${1:?usage: wine-readback-test.sh SCRIPTS-FOLDER}
. "$scripts/wine-retry.sh"
. "$scripts/wine-readback.sh"
dir=$(mktemp -d)
fakes=()
trap 'kill "${fakes[@]}" 2>/dev/null; rm -rf "$dir"' EXIT
export TMPDIR=$dir WINEPREFIX=$dir/prefix FAKE=$dir
export PATH=$dir/bin:$PATH
mkdir -p "$dir/bin"
failures=0
failed() { echo "FAILED: $*"; failures=$((failures + 1)); }

# wine reg export <key> <file> /y, as $FAKE/mode says, of the registry in $FAKE/registry (a .reg
# text in UTF-8, exported whole): "empty-once" writes an empty file with success the first time,
# "missing" finds no key HKLM\Software\Vantry (its parent exports), "fails-thrice" fails the first
# three exports, "broken" always writes an empty file with success.
cat >"$dir/bin/wine" <<'EOF'
#!/usr/bin/env bash
[ "$1 $2" = "reg export" ] || exit 9
echo "$3" >>"$FAKE/exports"
n=$(wc -l <"$FAKE/exports")
mode=$(cat "$FAKE/mode")
export_file() { sed 's/$/\r/' "$FAKE/registry" | iconv -f UTF-8 -t UTF-16 >"$1"; }
case $mode in
  empty-once) if [ "$n" = 1 ]; then : >"$4"; else export_file "$4"; fi ;;
  missing)
    if [ "$3" = 'HKLM\Software\Vantry' ]; then echo "reg: Unable to find the specified registry key" >&2; exit 1; fi
    export_file "$4" ;;
  fails-thrice) if [ "$n" -le 3 ]; then echo "reg: the server went away" >&2; exit 1; fi; export_file "$4" ;;
  broken) : >"$4" ;;
esac
exit 0
EOF
cat >"$dir/bin/wineserver" <<'EOF'
#!/usr/bin/env bash
echo "$*" >>"$FAKE/wineserver"
EOF
chmod +x "$dir/bin/wine" "$dir/bin/wineserver"

# readback <mode> <key>: export_key of the key into $dir/out.reg; its exit code.
readback() {
  echo "$1" >"$dir/mode"
  rm -f "$dir/exports" "$dir/wineserver" "$dir/out.reg" "$dir/failures"
  readback_log=$dir/failures
  export_key "$2" "$dir/out.reg"
}
viewer='HKEY_LOCAL_MACHINE\Software\Vantry\Viewer'
cat >"$dir/registry" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software]

[HKEY_LOCAL_MACHINE\Software\Vantry]

[HKEY_LOCAL_MACHINE\Software\Vantry\Viewer]
"InstallDir"="C:\\Vantry"

EOF

readback empty-once 'HKLM\Software\Vantry' || failed "empty-once: export_key failed"
[ "$(regval "$dir/out.reg" "$viewer" InstallDir)" = 'C:\Vantry' ] ||
  failed "empty-once: the value was not read ($(cat "$dir/out.reg" 2>&1))"
[ "$(wc -l <"$dir/exports")" = 2 ] || failed "empty-once: $(wc -l <"$dir/exports") exports, want 2"
grep -qx -- -w "$dir/wineserver" 2>/dev/null || failed "empty-once: no wait for the wineserver before the second export"
[ ! -s "$dir/failures" ] || failed "empty-once: a failure was reported: $(cat "$dir/failures")"

# The key's own exports fail but its parent's holds it: its values are read from there.
readback fails-thrice 'HKLM\Software\Vantry' || failed "fails-thrice: export_key failed"
[ "$(regval "$dir/out.reg" "$viewer" InstallDir)" = 'C:\Vantry' ] ||
  failed "fails-thrice: InstallDir reads '$(regval "$dir/out.reg" "$viewer" InstallDir)'"
[ ! -s "$dir/failures" ] || failed "fails-thrice: a failure was reported: $(cat "$dir/failures")"

# The parent's export holds no section of the key, only one whose name begins as the key's does.
cat >"$dir/registry" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software]

[HKEY_LOCAL_MACHINE\Software\VantryOld\Viewer]
"InstallDir"="C:\\Old"

EOF
readback missing 'HKLM\Software\Vantry' || failed "missing: export_key failed"
[ "$(regval "$dir/out.reg" "$viewer" InstallDir)" = '<missing>' ] ||
  failed "missing: a key that is not there does not read as missing"
[ ! -s "$dir/failures" ] || failed "missing: a failure was reported: $(cat "$dir/failures")"

readback broken 'HKLM\Software\Vantry' && failed "broken: export_key succeeded"
grep -q '^could not read the registry: reg export of HKLM\\Software\\Vantry' "$dir/failures" 2>/dev/null ||
  failed "broken: no read-back failure reported"
[ "$(regval "$dir/out.reg" "$viewer" InstallDir)" = '<unread>' ] ||
  failed "broken: a value reads as '$(regval "$dir/out.reg" "$viewer" InstallDir)'"
leftovers=$(find "$dir" -maxdepth 1 -name 'out.reg*' | wc -l)
[ "$leftovers" = 0 ] || failed "broken: $leftovers files left of the failed exports"

# Names with backslashes read the same with every awk: the system's, one that rewrites escapes in
# -v values as gawk does (drops the backslash of one it does not know), and gawk or busybox where
# the machine has them.
cat >"$dir/names.reg" <<'EOF'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Vantry\1.0\new\table]
"InstallDir"="C:\\Vantry\\1.0"
"dir\\name"="back"
"say \"hi\""="quoted"
@="default"

EOF
mkdir -p "$dir/gawk-like"
real_awk=$(command -v awk)
cat >"$dir/gawk-like/awk" <<EOF
#!/usr/bin/env bash
args=()
while [ \$# -gt 0 ]; do
  if [ "\$1" = -v ]; then args+=(-v "\$(printf '%s' "\$2" | sed 's/\\\\\\(.\\)/\\1/g')"); shift 2
  else args+=("\$1"); shift; fi
done
exec "$real_awk" "\${args[@]}"
EOF
chmod +x "$dir/gawk-like/awk"
awks=(system gawk-like)
for a in gawk busybox; do
  if command -v "$a" >/dev/null && { [ "$a" != busybox ] || busybox awk 'BEGIN {}' 2>/dev/null; }; then
    mkdir -p "$dir/$a"
    if [ "$a" = busybox ]; then printf '#!/bin/sh\nexec busybox awk "$@"\n' >"$dir/$a/awk"; else ln -s "$(command -v gawk)" "$dir/$a/awk"; fi
    chmod +x "$dir/$a/awk" 2>/dev/null
    awks+=("$a")
  fi
done
names='HKEY_LOCAL_MACHINE\Software\Vantry\1.0\new\table'
for a in "${awks[@]}"; do
  path=$PATH
  [ "$a" = system ] || path=$dir/$a:$PATH
  got=$(PATH=$path regval "$dir/names.reg" "$names" InstallDir)
  [ "$got" = 'C:\Vantry\1.0' ] || failed "$a awk: InstallDir of $names reads '$got'"
  got=$(PATH=$path regval "$dir/names.reg" "$names" 'dir\name')
  [ "$got" = back ] || failed "$a awk: 'dir\\name' reads '$got'"
  got=$(PATH=$path regval "$dir/names.reg" "$names" 'say "hi"')
  [ "$got" = quoted ] || failed "$a awk: 'say \"hi\"' reads '$got'"
  got=$(PATH=$path regval "$dir/names.reg" "$names" '')
  [ "$got" = default ] || failed "$a awk: the default value reads '$got'"
done

# A program of the prefix is waited for until it has ended; one of another prefix is not.
WINEPREFIX=$dir/other bash -c 'exec -a "C:\\windows\\system32\\regsvr32.exe" sleep 600' &
fakes+=($!)
WINEPREFIX=$WINEPREFIX bash -c 'exec -a "C:\\windows\\regedit.exe" sleep 1' &
ours=$!
fakes+=($ours)
# It runs under the prefix once its command line names the program.
for _ in $(seq 1200); do
  { tr '\0' ' ' <"/proc/$ours/cmdline"; } 2>/dev/null | grep -q 'regedit.exe' && break
  sleep 0.05
done
wine_wait_programs 'regedit|regsvr32|iexplore' 120 || failed "the wait ran out"
kill -0 "$ours" 2>/dev/null && failed "the wait returned while the prefix's registry editor ran"
wait "$ours" 2>/dev/null

[ "$failures" = 0 ] && echo "wine read-back: all cases passed"
exit $((failures > 0))

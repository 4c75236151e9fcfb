# Sourced by scripts/wine-installer.sh, after scripts/wine-retry.sh: reading back what a run left
# in its Wine prefix ($WINEPREFIX) so that a read that failed is never taken for a missing value,
# and waiting for the programs of that prefix by watching them rather than for a fixed time.

# wine_prefix_running <regex>: true while a process of this prefix (WINEPREFIX in its environment)
# runs a program whose command line matches the extended regex, in any case.
wine_prefix_running() {
  local p
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" != "$BASHPID" ] || continue
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    { tr '\0' ' ' <"$p/cmdline"; } 2>/dev/null | grep -qiE "$1" && return 0
  done
  return 1
}

# wine_wait_programs <regex> <seconds>: waits until no process of this prefix runs such a program.
# False when one still runs at the bound, which only ends a broken run.
wine_wait_programs() {
  local deadline=$((SECONDS + $2))
  while wine_prefix_running "$1"; do
    [ $SECONDS -lt "$deadline" ] || return 1
    sleep 0.2
  done
}

# wineserver_settle: waits until this prefix's wineserver has ended (its programs gone, the
# registry saved); one that has not after five minutes is stopped.
wineserver_settle() {
  timeout 300 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || :
}

# reg_export <key> <file>: one `reg export` of the key, as UTF-8 lines without CR. It counts only
# when the tool succeeded and its file is a registry export (its header line); the tool's error
# output is kept in <file>.err.
reg_export() {
  rm -f "$2" "$2.utf16"
  if wine_retry wine reg export "$1" "$2.utf16" /y >/dev/null 2>"$2.err" &&
    iconv -f UTF-16 -t UTF-8 "$2.utf16" 2>/dev/null | tr -d '\r' >"$2.new" &&
    [ "$(head -n 1 "$2.new")" = "Windows Registry Editor Version 5.00" ]; then
    mv "$2.new" "$2"
    rm -f "$2.utf16" "$2.err"
    return 0
  fi
  rm -f "$2.utf16" "$2.new"
  return 1
}

# export_key <key> <file>: the key's export (reg_export). A failed export is made again once the
# wineserver has ended. When it still fails but its parent key exports, the parent's export
# decides: the key's own sections are taken from it, and when it holds none the key is not there
# (the file holds only the header, so its values read as missing). When the parent fails too, the
# registry could not be read: the file is not written and the failure is added to $readback_log,
# so that no value is ever read as missing from a read that failed.
export_key() {
  local attempt parent=${1%\\*} why
  for attempt in 1 2 3; do
    reg_export "$1" "$2" && return 0
    [ "$attempt" = 3 ] || wineserver_settle
  done
  why=$(head -c 300 "$2.err" | tr '\n' ' ')
  rm -f "$2.err"
  if [ "$parent" != "$1" ] && reg_export "$parent" "$2.parent" &&
    reg_sections "$1" <"$2.parent" >"$2.new"; then
    mv "$2.new" "$2"
    rm -f "$2.parent"
    return 0
  fi
  rm -f "$2.parent" "$2.parent.err" "$2.new"
  echo "could not read the registry: reg export of $1 failed three times ($why)" >>"${readback_log:?}"
  return 1
}

# reg_sections <key>: from an export on stdin, the header and the sections of the key and of its
# sub-keys. The key may name its root short (HKLM) or in full, as exports do; names compare
# without regard to case, as the registry does.
reg_sections() {
  RV_KEY=$1 awk '
    BEGIN {
      k = ENVIRON["RV_KEY"]; root = k; rest = ""
      if ((i = index(k, "\\")) > 0) { root = substr(k, 1, i - 1); rest = substr(k, i) }
      root = toupper(root)
      if (root == "HKLM") root = "HKEY_LOCAL_MACHINE"
      else if (root == "HKCU") root = "HKEY_CURRENT_USER"
      else if (root == "HKCR") root = "HKEY_CLASSES_ROOT"
      else if (root == "HKU") root = "HKEY_USERS"
      else if (root == "HKCC") root = "HKEY_CURRENT_CONFIG"
      k = tolower("[" root rest); print "Windows Registry Editor Version 5.00"; print ""
    }
    /^\[/ { s = tolower($0); inkey = s == k "]" || index(s, k "\\") == 1 }
    inkey { print }'
}

# regval <export> <key> <name>: a value from an exported .reg file ("" = the default value);
# "<missing>" when absent. Key names compare without regard to case, as the registry does. The
# names reach awk through its environment, which no awk rewrites (-v turns escapes into
# characters, each awk differently).
regval() {
  [ -f "$1" ] || { echo "<unread>"; return; }
  RV_KEY="[$2]" RV_NAME=$3 awk '
    function unescape(s,   r, i, c) {
      r = ""
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == "\\") { i++; c = substr(s, i, 1) }
        r = r c
      }
      return r
    }
    function escape(s,   r, i, c) {
      r = ""
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == "\\" || c == "\"") r = r "\\"
        r = r c
      }
      return r
    }
    BEGIN { k = tolower(ENVIRON["RV_KEY"]); n = ENVIRON["RV_NAME"]
            p = n == "" ? "@=\"" : "\"" escape(n) "\"=\"" }
    /^\[/ { inkey = tolower($0) == k; next }
    inkey && index($0, p) == 1 { v = substr($0, length(p) + 1); sub(/"$/, "", v); print unescape(v); found = 1; exit }
    END { if (!found) print "<missing>" }' "$1"
}

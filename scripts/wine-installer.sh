#!/usr/bin/env bash
# Runs the Windows installer (build-windows/installer/VantrySetup.exe) under Wine the way a user
# does, each run in a fresh private Wine prefix with its own home folder, on its own Xvfb display
# (no window manager: the X window is the wizard's client area). xdotool clicks through the six
# pages, waiting for each by its pixels; xwd takes a PNG of every page. Afterwards everything the
# installation left is read back through Windows' own tools (reg export) and lnkinfo.
#
# Runs (both by default, side by side):
#   cn  Chinese (code page 936), the default folder and associations; Wine's default version
#       (Windows 7: the associations go to the user's Explorer choice).
#   en  switched to English with the language box, the folder C:\Program Files\Vantry 誠 (in code
#       page 936 the second byte of 誠 is the byte of a backslash), "select all"; the prefix reports
#       Windows 10 (the associations go to the extensions' defaults).
#
# Usage: scripts/wine-installer.sh [--check] [--show] [--out DIR] [cn] [en]
#   --check  compare everything with what the run must leave; exit 1 on a difference
#   --show   show the installer on $DISPLAY and let the user click through it (one run)
#   --out    the folder for the prefixes, screenshots and logs (default: a new temporary one)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${RK_WINDOWS_BUILD:-$top/build-windows}
installer=$build/installer/VantrySetup.exe
check=0 show=0 out= runs=()
while [ $# -gt 0 ]; do
  case $1 in
    --check) check=1 ;;
    --show) show=1 ;;
    --out) out=$2; shift ;;
    cn | en) runs+=("$1") ;;
    *) echo "usage: $0 [--check] [--show] [--out DIR] [cn] [en]" >&2; exit 2 ;;
  esac
  shift
done
[ ${#runs[@]} -gt 0 ] || runs=(cn en)
[ -n "$out" ] || out=$(mktemp -d "${TMPDIR:-/tmp}/vantry-wine.XXXXXX")
mkdir -p "$out"
out=$(cd "$out" && pwd)
[ -f "$installer" ] || { echo "no $installer: run scripts/build-windows.sh first" >&2; exit 1; }
user=$(id -un)
# Wine's server folders (one for each fresh prefix) go into a temporary folder of this script's,
# removed when it ends.
wine_tmp=$(mktemp -d "${TMPDIR:-/tmp}/rk-wine.XXXXXX")
trap 'rm -rf "$wine_tmp"' EXIT
export TMPDIR=$wine_tmp

# A Chinese locale of our own (code page 936 for Wine), made once into the build folder.
locale_dir=$build/wine/locale
if [ ! -f "$locale_dir/zh_CN.UTF-8/LC_CTYPE" ]; then
  mkdir -p "$locale_dir"
  localedef -i zh_CN -f UTF-8 "$locale_dir/zh_CN.UTF-8" 2>/dev/null || [ -f "$locale_dir/zh_CN.UTF-8/LC_CTYPE" ]
fi

# wine_env <run folder>: the environment of every Wine process of one run.
wine_env() {
  export WINEPREFIX=$1/prefix HOME=$1/home LOCPATH=$locale_dir WINEARCH=win64
  export WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d;iexplore.exe=n"
}

# The helpers' starts that Wine dropped before the program ran are made again (not the
# installer's: it writes nothing, whether it failed or not).
. "$top/scripts/wine-retry.sh"
# Reading the registry back, and waiting for the programs of a prefix.
. "$top/scripts/wine-readback.sh"

# Wine's programs in the Chinese locale (set for them only: this shell has no such locale).
wine() { env LC_ALL=zh_CN.UTF-8 wine "$@"; }
wineboot() { env LC_ALL=zh_CN.UTF-8 wineboot "$@"; }
winepath() { env LC_ALL=zh_CN.UTF-8 winepath "$@"; }

# --- Pixels of the wizard's window ---------------------------------------------------------------
# grab <window> <file.ppm>; pixel <file.ppm> <x> <y> -> RRGGBB
grab() { xwd -silent -id "$1" 2>/dev/null | xwdtopnm 2>/dev/null >"$2"; }
pixel() {
  local size
  size=$(sed -n '2{p;q}' "$1")
  # xwdtopnm writes "P6\n<width> <height>\n255\n" before the pixels.
  od -An -tx1 -j $((3 + ${#size} + 1 + 4 + ($3 * ${size%% *} + $2) * 3)) -N 3 "$1" | tr -d ' \n' | tr a-f A-F
}
# wait_page <run folder> <name> <condition...>: polls the window until every condition
# "x,y=RRGGBB" (or "x,y!RRGGBB") holds in two grabs in a row (the page is drawn). The bound of
# 120 s only ends a broken run: the wait itself is for the page.
wait_page() {
  local dir=$1 name=$2 cond x y c ok steady=0 frame=$dir/frame.ppm deadline=$((SECONDS + 120))
  shift 2
  while [ $SECONDS -lt $deadline ]; do
    ok=1
    if grab "$window" "$frame"; then
      for cond in "$@"; do
        x=${cond%%,*} y=${cond#*,} y=${y%%[=!]*} c=${cond: -6}
        if [[ $cond == *=* ]]; then [ "$(pixel "$frame" "$x" "$y")" = "$c" ] || ok=0
        else [ "$(pixel "$frame" "$x" "$y")" != "$c" ] || ok=0; fi
      done
    else
      ok=0
    fi
    if [ $ok = 1 ]; then
      steady=$((steady + 1))
      [ $steady -lt 2 ] || return 0
    else
      steady=0
    fi
    sleep 0.1
  done
  echo "$name: page not reached ($*)" >&2
  return 1
}
shot() { grab "$window" "$1/frame.ppm" && pnmtopng "$1/frame.ppm" >"$1/shots/$2.png" 2>/dev/null; }
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; }
# A pop-up of the installer (message box, drop-down list): a new window with a size.
popup() {
  local w
  for _ in $(seq 1200); do
    for w in $(xdotool search --onlyvisible --name '.' 2>/dev/null); do
      [ "$w" != "$window" ] || continue
      [ "$(xdotool getwindowname "$w" 2>/dev/null)" != "Default IME" ] || continue
      echo "$w"
      return 0
    done
    sleep 0.1
  done
  return 1
}

# --- One run -------------------------------------------------------------------------------------
# Pages: the conditions are client pixels of widgets that only that page shows. On pages 2 to 5
# the banner leaves (20,20) white; (450,95) is inside the licence view on page 2 and on the
# browse button on page 3; (20,102) is the gauge's bar; (37,289) the tick of the JPEG 2000 box.
drive() {
  local run=$1 dir=$2 box
  wait_page "$dir" welcome 20,20!FFFFFF 250,150=FEFEFF || return 1
  if [ "$run" = en ]; then
    # The language box: its drop-down list, then the second item.
    click 99 341
    box=$(popup) || { echo "language list not shown" >&2; return 1; }
    xdotool mousemove --window "$box" 30 28 click 1
    wait_page "$dir" welcome-en 20,20!FFFFFF 250,150=FEFEFF || return 1
    xdotool search --name 'Vantry Viewer Setup' >/dev/null || { echo "caption not relabelled" >&2; return 1; }
  fi
  shot "$dir" 1-welcome
  click 328 340
  wait_page "$dir" licence 20,20=FFFFFF 450,95=FFFFFF 10,277=000000 12,277=FFFFFF || return 1
  click 40 277
  wait_page "$dir" licence-agreed 20,20=FFFFFF 12,277=000000 || return 1
  shot "$dir" 2-licence
  click 328 340
  wait_page "$dir" folder 20,20=FFFFFF 450,95=F5F5F5 300,102=FFFFFF || return 1
  if [ "$run" = en ]; then
    click 200 102
    # typetext's characters come as sent messages, which overtake keys that Wine has not yet
    # read from the X server; X keys are read in order, so each step waits for what its last
    # key shows: the old text selected (its background at 20,105), the typing started, the typed
    # text selected once more (after every typed key), the caret back at its end.
    xdotool key --clearmodifiers End shift+Home
    wait_page "$dir" old-text-selected 20,105=08246B || return 1
    xdotool type --delay 20 'C:\Program Files\Vantry '
    wait_page "$dir" typing 20,105=FFFFFF || return 1
    xdotool key --clearmodifiers shift+Home
    wait_page "$dir" typed-text-selected 20,105=08246B || return 1
    xdotool key --clearmodifiers End
    wait_page "$dir" typed 20,105=FFFFFF || return 1
    # Characters outside the keyboard map come as an input method sends them: WM_CHAR messages
    # (xdotool maps a spare key for each, and Wine may read the key before the new map).
    local geometry
    geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/^ *Position: \([0-9]*\),\([0-9]*\).*/\1 \2/p')
    set -- $geometry
    # typetext returns once the window has handled the characters.
    wine_retry wine "$build/tools/typetext.exe" $(($1 + 300)) $(($2 + 102)) '誠' || { echo "typetext failed" >&2; return 1; }
  fi
  shot "$dir" 3-folder
  click 328 340
  # The folder does not exist yet: Setup asks to create it.
  box=$(popup) || { echo "no folder question" >&2; return 1; }
  xwd -silent -id "$box" | xwdtopnm 2>/dev/null | pnmtopng >"$dir/shots/3-folder-question.png" 2>/dev/null
  xdotool mousemove --window "$box" 37 45 click 1
  # The copy page lasts about a second: the first grab that shows the gauge's bar is its shot.
  local deadline=$((SECONDS + 30))
  while [ $SECONDS -lt $deadline ]; do
    grab "$window" "$dir/frame.ppm" || continue
    if [ "$(pixel "$dir/frame.ppm" 20 102)" = 0000FF ]; then
      pnmtopng "$dir/frame.ppm" >"$dir/shots/4-copy.png" 2>/dev/null
      break
    fi
    [ "$(pixel "$dir/frame.ppm" 426 90)" != FFFFFF ] || { echo "copy: passed between two grabs"; break; }
  done
  wait_page "$dir" associations 20,20=FFFFFF 37,289=000000 426,90=FFFFFF || return 1
  if [ "$run" = en ]; then
    click 426 90
    wait_page "$dir" select-all 37,139=000000 426,90=000000 || return 1
  fi
  shot "$dir" 5-associations
  click 328 340
  wait_page "$dir" finish 20,20!FFFFFF 250,150=FEFEFF || return 1
  shot "$dir" 6-finish
  # Finish, clicked as quickly after Next as a user does (the same button, at the same point: a
  # double click), closes the window.
  click 328 340
  for _ in $(seq 1200); do
    xdotool getwindowname "$window" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "finish: the window is still there" >&2
  return 1
}

one_run() {
  local run=$1 dir=$out/$1 rc xvfb display
  rm -rf "$dir"
  mkdir -p "$dir/home" "$dir/shots"
  wine_env "$dir"
  readback_log=$dir/readback.failed
  (
    unset DISPLAY
    wine_retry wineboot -i >/dev/null 2>&1
    # Earlier associations of three formats, the fonts, and for the English run Windows 10.
    {
      printf 'REGEDIT4\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      for face in SimSun "MS Shell Dlg" "MS Shell Dlg 2" Tahoma; do printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"; done
      printf '\r\n[HKEY_CLASSES_ROOT\\.jpg]\r\n@="jpegfile"\r\n\r\n[HKEY_CLASSES_ROOT\\.jp2]\r\n@="OldViewer.JP2"\r\n\r\n'
      for x in jp2 tif; do
        printf '[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.%s\\UserChoice]\r\n' $x
        printf '"Progid"="OldViewer.%s"\r\n\r\n' $x
      done
      [ "$run" = cn ] || printf '[HKEY_CURRENT_USER\\Software\\Wine]\r\n"Version"="win10"\r\n\r\n'
    } >"$dir/seed.reg"
    wine_retry wine regedit /s "$(winepath -w "$dir/seed.reg")" >/dev/null 2>&1
    # The browser the system starts for a web address: our recorder, wherever Wine keeps one.
    [ -n "$(find "$WINEPREFIX/drive_c" -iname iexplore.exe)" ] || { echo "$run: the prefix has no browser to replace" >&2; exit 1; }
    find "$WINEPREFIX/drive_c" -iname iexplore.exe -exec cp "$build/tools/openaddress.exe" {} \;
    export_key HKCR "$dir/before-classes.reg" || :
    export_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts' "$dir/before-fileexts.reg" || :
    wineserver_settle
  )
  if [ "$show" = 1 ]; then
    echo "== $run: the installer in a window on $DISPLAY: click through the pages"
    rc=0
    wine "$installer" || rc=$?
  else
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp -r 3>"$dir/display" >/dev/null 2>&1 &
    xvfb=$!
    # Xvfb names the display on the descriptor once it accepts connections.
    while [ ! -s "$dir/display" ] && kill -0 "$xvfb" 2>/dev/null; do sleep 0.05; done
    display=:$(cat "$dir/display")
    export DISPLAY=$display
    (
      rc=0
      wine "$installer" >"$dir/installer.log" 2>&1 || rc=$?
      echo $rc >"$dir/exit-code"
    ) &
    window=
    for _ in $(seq 1200); do
      window=$(xdotool search --name 'Vantry' 2>/dev/null | head -1) && [ -n "$window" ] && break
      sleep 0.1
    done
    rc=0
    if [ -z "$window" ]; then
      echo "$run: no installer window" >&2
      rc=1
    else
      drive "$run" "$dir" >"$dir/drive.log" 2>&1 || rc=1
    fi
    for _ in $(seq 1200); do [ -f "$dir/exit-code" ] && break; sleep 0.1; done
    [ -f "$dir/exit-code" ] || { echo "$run: the installer did not end" >&2; rc=1; }
    [ $rc = 0 ] || { cat "$dir/drive.log" >&2; wineserver -k || :; }
  fi
  # The programs Setup started and nobody waits for (registry editor, registration, browser),
  # watched until they have ended; then the wineserver, which saves the registry as it ends.
  wine_wait_programs 'regedit|regsvr32|iexplore' 300 || { echo "$run: the programs Setup started still run" >&2; rc=1; }
  wineserver_settle
  if [ "$show" != 1 ]; then
    kill "$xvfb" 2>/dev/null || :
    wait "$xvfb" 2>/dev/null || :
    unset DISPLAY
  fi
  export_key HKCR "$dir/classes.reg" || :
  export_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts' "$dir/fileexts.reg" || :
  export_key 'HKLM\Software\Vantry' "$dir/vantry.reg" || :
  export_key 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantryViewer' "$dir/uninstall.reg" || :
  wineserver_settle
  [ ! -s "$readback_log" ] || { cat "$readback_log" >&2; rc=1; }
  return $rc
}

# --- Checks --------------------------------------------------------------------------------------
failures=0
fail() {
  echo "FAIL [$run] $*" >&2
  failures=$((failures + 1))
}
expect() { # <what> <expected> <actual>
  [ "$2" = "$3" ] || fail "$1: expected '$2', got '$3'"
}
prop() { grep -a "^$2=" "$build/wizard/setup_$1.properties" | head -1 | cut -d= -f2- | tr -d '\r'; }
# walk <host folder> <relative>: the product's entries as Setup lists them (the system lists a
# folder's names in upper-case order), folders before their contents.
walk() {
  local name rel
  while IFS= read -r name; do
    rel=${2:+$2\\}$name
    echo "$rel"
    [ ! -d "$1/$name" ] || walk "$1/$name" "$rel"
  done < <(ls -A "$1" | LC_ALL=C sort -f)
}

check_run() {
  local run=$1 dir=$out/$1 lang props I host temp menu desktop ext b g list expected x
  lang=$([ "$run" = cn ] && echo cn || echo en)
  wine_env "$dir"
  expect "installer exit code" 0 "$(cat "$dir/exit-code" 2>/dev/null)"
  for s in 1-welcome 2-licence 3-folder 3-folder-question 4-copy 5-associations 6-finish; do
    [ "$(head -c 4 "$dir/shots/$s.png" 2>/dev/null | tail -c 3)" = PNG ] || fail "no screenshot $s"
  done
  temp=$WINEPREFIX/drive_c/users/$user/Temp
  expect "temporary folder afterwards" "" "$(ls -A "$temp" 2>/dev/null)"
  if [ "$run" = cn ]; then I='C:\Program Files\VantryViewer'; else I='C:\Program Files\Vantry 誠'; fi
  host=$WINEPREFIX/drive_c/${I#C:\\}
  host=${host//\\//}

  # Product files byte for byte (the two lists the install writes aside).
  diff -r -x install.txt -x filelink.txt "$build/wizard/VantryViewer" "$host" >"$dir/product.diff" 2>&1 ||
    fail "installed files differ from the product: $(head -5 "$dir/product.diff")"

  # Shortcuts, read back by lnkinfo.
  menu="C:\\users\\$user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\$(prop $lang productfold)"
  desktop="C:\\users\\$user\\Desktop\\VantryView.lnk"
  local link target desc icon file fields
  while IFS='|' read -r link target desc icon; do
    file=$WINEPREFIX/drive_c/${link#C:\\}
    file=${file//\\//}
    fields=$(lnkinfo -c windows-936 "$file" 2>/dev/null | sed 's/^\t*//') || { fail "shortcut $link not readable"; continue; }
    expect "$link target" "$target" "$(sed -n 's/^Local path\t*: //p' <<<"$fields")"
    expect "$link arguments" "$target" "$(sed -n 's/^Command line arguments\t*: //p' <<<"$fields")"
    expect "$link description" "$desc" "$(sed -n 's/^Description\t*: //p' <<<"$fields")"
    expect "$link icon" "$icon" "$(sed -n 's/^Icon location\t*: //p' <<<"$fields")"
  done <<EOF
$menu\\Vantry\\VantryView.lnk|$I\\Vantry\\VantryView.exe|$(prop $lang start_app_desc | iconv -f GBK -t UTF-8)|$I\\Vantry\\VantryView.ico
$menu\\Vantry\\Uninstall.lnk|$I\\Vantry\\Uninstall.exe|$(prop $lang uninstall_app_desc | iconv -f GBK -t UTF-8)|$I\\Vantry\\Uninstall.ico
$desktop|$I\\Vantry\\VantryView.exe|$(prop $lang start_app_desc | iconv -f GBK -t UTF-8)|$I\\Vantry\\VantryView.ico
EOF

  # The uninstall list, byte for byte (GBK, CR LF).
  {
    printf '%s\n' "$I\\Vantry\\install.txt" "$menu\\Vantry\\Uninstall.lnk" "$menu\\Vantry\\VantryView.lnk" \
      "$menu\\Vantry" "$menu" "$desktop"
    walk "$build/wizard/VantryViewer" "" | grep -i '^vantry' | tac | sed "s|^|$(sed 's/[\\|&]/\\&/g' <<<"$I")\\\\|"
    prop $lang uninstall_regkey | iconv -f GBK -t UTF-8
  } | sed 's/$/\r/' | iconv -f UTF-8 -t GBK >"$dir/install.expected"
  cmp -s "$dir/install.expected" "$host/Vantry/install.txt" ||
    fail "install.txt differs: $(diff <(iconv -f GBK -t UTF-8 "$dir/install.expected") <(iconv -f GBK -t UTF-8 "$host/Vantry/install.txt" 2>&1) | head -6)"

  # The closing page, asked of the browser.
  local opened
  opened=$(find "$WINEPREFIX/drive_c" -name opened.txt -exec cat {} + | tr -d '\r')
  [[ $opened == *' http://www.vantry.example/setup.jsp?pd=1' ]] || fail "browser asked for: '$opened'"

  # A registry that could not be read back is a failure of this harness, not of the installer:
  # it is reported as such, and no value is checked against it.
  local failed
  if [ -s "$dir/readback.failed" ]; then
    while IFS= read -r failed; do fail "$failed"; done <"$dir/readback.failed"
    return
  fi

  # The registry script, imported by the system's registry editor.
  expect "InstallDir" "$I" "$(regval "$dir/vantry.reg" 'HKEY_LOCAL_MACHINE\Software\Vantry\Viewer' InstallDir)"
  expect "Viewer" "$I\\Vantry\\VantryView.exe" "$(regval "$dir/vantry.reg" 'HKEY_LOCAL_MACHINE\Software\Vantry\Viewer' Viewer)"
  expect "Paths" "$I;$I\\Vantry" "$(regval "$dir/vantry.reg" 'HKEY_LOCAL_MACHINE\Software\Vantry\Viewer' Paths)"
  expect "UninstallString" "$I\\Vantry\\Uninstall.exe" \
    "$(regval "$dir/uninstall.reg" 'HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\VantryViewer' UninstallString)"
  # The shell extension registered itself, by its long path.
  expect "shell extension" "$I\\Vantry\\VantryShellEx.dll" \
    "$(regval "$dir/vantry.reg" 'HKEY_LOCAL_MACHINE\Software\Vantry\ShellExtension' Server)"

  # Associations: the defaults tick JPEG 2000 and its code-streams, "select all" ticks all.
  local exts=".JP2 .JPC" win7=1 old before
  [ "$run" = cn ] || { exts=".JPEG .JPG .PNG .JP2 .BMP .GIF .PCX .PGX .RAS .TGA .TIFF .TIF .JPC .PPM .PGM .PBM .ICO .ICON .WMF"; win7=0; }
  expected=
  local fx='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts'
  for x in $exts; do
    b=${x#.} g=Vantry$x
    expect "$x OpenWithProgids" "" "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$x\\OpenWithProgids" "$g")"
    expect "$g" "$b Image" "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$g" "")"
    expect "$g icon" "$I\\Vantry\\images\\$b.ico,0" "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$g\\DefaultIcon" "")"
    expect "$g type name" '@C:\WINDOWS\system32\mspaint.exe,-59419' \
      "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$g\\FriendlyTypeName" "")"
    expect "$g verb" "Open with Vantry" "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$g\\shell\\Open" "")"
    expect "$g command" "\"$I\\Vantry\\VantryView.exe\" \"%1\"" \
      "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$g\\shell\\Open\\Command" "")"
    if [ $win7 = 1 ]; then
      expect "$x user choice" "$g" "$(regval "$dir/fileexts.reg" "$fx\\$x\\UserChoice" Progid)"
      before=$(regval "$dir/before-fileexts.reg" "$fx\\$x\\UserChoice" Progid)
    else
      expect "$x default" "$g" "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$x" "")"
      expect "$x content type" "image/$b" "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$x" "Content Type")"
      expect "$x perceived type" image "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$x" PerceivedType)"
      expect "$x undo class" Paint.Picture "$(regval "$dir/classes.reg" "HKEY_CLASSES_ROOT\\$x\\UndoClass" "")"
      before=$(regval "$dir/before-classes.reg" "HKEY_CLASSES_ROOT\\$x" "")
    fi
    [ "$before" = "<missing>" ] || [ -z "$before" ] || expected+="$x=$before"$'\r\n'
  done
  [ "$run" = en ] || expect "PNG not associated" "<missing>" "$(regval "$dir/classes.reg" 'HKEY_CLASSES_ROOT\Vantry.PNG' "")"
  [ -n "$expected" ] || fail "no earlier association to record (the seed did not take)"
  expect "filelink.txt" "$expected." "$(iconv -f GBK -t UTF-8 "$host/Vantry/filelink.txt" 2>/dev/null; echo .)"
}

# What a run installed, as the Linux demo prints it.
report() {
  local run=$1 dir=$out/$1 host
  wine_env "$dir"
  echo
  echo "===== run $run ($dir)"
  echo "installer exit code: $(cat "$dir/exit-code" 2>/dev/null || echo '?')"
  host=$(dirname "$(find "$WINEPREFIX/drive_c/Program Files" -path '*/Vantry/install.txt' | head -1)")
  if [ "$host" = . ]; then
    echo "Nothing was installed (Setup ended before the copy)."
    return
  fi
  host=$(dirname "$host")
  echo "== installed into $host"
  (cd "$host" && find . -mindepth 1 -printf '%y %7s  %P\n' | sort -k3)
  echo "== install.txt (the uninstall list)"
  iconv -f GBK -t UTF-8 -c "$host/Vantry/install.txt" | tr -d '\r'
  if [ -f "$host/Vantry/filelink.txt" ]; then
    echo "== filelink.txt (associations replaced)"
    iconv -f GBK -t UTF-8 -c "$host/Vantry/filelink.txt" | tr -d '\r'
  fi
  echo "== shortcuts"
  find -L "$WINEPREFIX/drive_c/users/$user" -name '*.lnk' -print0 2>/dev/null | sort -z | while IFS= read -r -d '' link; do
    echo "${link#"$WINEPREFIX/drive_c/"}"
    lnkinfo -c windows-936 "$link" | grep -E 'Local path|Description|Icon location' | sed 's/^\t*/    /'
  done
  echo "== registry (reg export)"
  cat "$dir/vantry.reg" "$dir/uninstall.reg" | grep -v '^$' | grep -v '^Windows Registry'
  echo "== the browser was asked for"
  find "$WINEPREFIX/drive_c" -name opened.txt -exec cat {} + | tr -d '\r'
  echo "== the temporary folder afterwards (the unpack folder is gone):"
  ls -A "$WINEPREFIX/drive_c/users/$user/Temp" | grep . || echo "(empty)"
  if [ -n "$(ls "$dir/shots" 2>/dev/null)" ]; then
    echo "== screenshots of the pages:"
    ls "$dir"/shots/*.png
  fi
}

status=0
if [ "$show" = 1 ]; then
  one_run "${runs[0]}" || status=1
  runs=("${runs[0]}")
else
  pids=()
  for run in "${runs[@]}"; do
    one_run "$run" >"$out/$run.log" 2>&1 &
    pids+=($!)
  done
  for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || { status=1; echo "run ${runs[$i]} failed:" >&2; cat "$out/${runs[$i]}.log" >&2; }
  done
fi
if [ "$check" = 1 ]; then
  for run in "${runs[@]}"; do check_run "$run"; done
  [ $failures = 0 ] || status=1
  echo "wine installer runs (${runs[*]}): $failures failed checks; everything is in $out"
else
  for run in "${runs[@]}"; do report "$run"; done
  echo
  echo "Everything is in $out (remove it when done)."
fi
exit $status

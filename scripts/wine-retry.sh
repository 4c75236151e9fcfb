# Sourced by the scripts that run Windows programs under Wine.
#
# wine_retry <command...>: runs a Wine command with its output held until it ends, and starts it
# again, up to twice, when it ended non-zero before writing a byte of its own. Now and then, with
# many programs starting at once (about one start in a thousand on a loaded machine), the
# wineserver drops a starting program's connection, so Wine ends before the program ran: silently,
# or with only its own report of the dropped connection on the error output ("wine client
# error:0: recvmsg: Connection reset by peer", the system's text in the locale's language). A
# command that wrote anything else is never run again.
wine_retry() {
  local out rc attempt
  out=$(mktemp "${TMPDIR:-/tmp}/rk-wine-retry.XXXXXX")
  for attempt in 1 2 3; do
    rc=0
    "$@" >"$out" 2>"$out.err" || rc=$?
    if [ "$rc" = 0 ] || [ -s "$out" ] || grep -qv '^wine client error:' "$out.err" || [ "$attempt" = 3 ]; then
      break
    fi
    echo "wine_retry: $* ended with $rc before the program wrote anything (Wine did not start it); starting it again" >&2
  done
  cat "$out"
  cat "$out.err" >&2
  rm -f "$out" "$out.err"
  return "$rc"
}

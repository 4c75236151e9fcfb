# Sourced by the scripts that run Windows programs under Wine.
#
# wine_retry <command...>: runs a Wine command, passing its output on as it comes, and starts it
# again, up to twice, when it ended non-zero before writing a byte of its own. Now and then, with
# many programs starting at once (about one start in a thousand on a loaded machine), the
# wineserver drops a starting program's connection, so Wine ends before the program ran: silently,
# or with only its own report of the dropped connection on the error output ("wine client
# error:0: recvmsg: Connection reset by peer", the system's text in the locale's language). A
# command that wrote anything else is never run again.
#
# The command writes into two files that are deleted at once and live on only through open
# descriptors, so nothing is left behind however the caller ends (a test's time limit kills the
# whole process tree). `tail` follows them to this function's own output and error output until the
# command has ended. Files rather than pipes: the wineserver that a Wine command starts keeps the
# command's output open, and a pipe would not end while it runs.
wine_retry() {
  local rc attempt out err out_fd err_fd pid tails again
  for attempt in 1 2 3; do
    out=$(mktemp "${TMPDIR:-/tmp}/rk-wine-retry.XXXXXX") || return 1
    err=$(mktemp "${TMPDIR:-/tmp}/rk-wine-retry.XXXXXX") || { rm -f "$out"; return 1; }
    exec {out_fd}<>"$out" {err_fd}<>"$err"
    rm -f "$out" "$err"
    rc=0
    "$@" <&0 >&"$out_fd" 2>&"$err_fd" &
    pid=$!
    tail -c +1 -s 0.05 --pid="$pid" -f "/dev/fd/$out_fd" &
    tails=$!
    tail -c +1 -s 0.05 --pid="$pid" -f "/dev/fd/$err_fd" >&2 &
    tails="$tails $!"
    wait "$pid" || rc=$?
    # shellcheck disable=SC2086
    wait $tails 2>/dev/null || :
    again=0
    if [ "$rc" != 0 ] && [ ! -s "/dev/fd/$out_fd" ] && ! grep -qv '^wine client error:' "/dev/fd/$err_fd" &&
      [ "$attempt" != 3 ]; then
      again=1
    fi
    exec {out_fd}<&- {err_fd}<&-
    [ "$again" = 1 ] || break
    echo "wine_retry: $* ended with $rc before the program wrote anything (Wine did not start it); starting it again" >&2
  done
  return "$rc"
}

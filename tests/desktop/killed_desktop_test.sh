#!/bin/sh
# The desktop program, clicked seven times on PLOT on a private X display and then killed with
# SIGKILL, leaves its session: the next start in its folder brings the seven curves back with
# every number the program had stored (compared with the same seven PLOTs in the script driver).
#
#   killed_desktop_test.sh BIN_DIR SUPPLIED_DIR
#
# Exit status 0 when they match, 1 when they do not, 77 (skipped) without Xvfb or xdotool.
set -eu
bin=$(cd "$1" && pwd)
supplied=$(cd "$2" && pwd)
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb=""
program=""
cleanup() {
  [ -n "$program" ] && kill -9 "$program" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "FAILED: $*"; [ -f "$work/desktop.log" ] && cat "$work/desktop.log"; exit 1; }

# Two copies of the supplied files: one for the desktop program, one for the script driver.
for f in desktop script; do
  mkdir -p "$work/$f/data"
  cp -R "$supplied"/. "$work/$f"/
done
mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"

# -noreset: by default the server starts over when its last client leaves, and refuses
# connections meanwhile; the probe below is such a client, and the program could come just then.
display=:$((300 + $$ % 400))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
export DISPLAY="$display" QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
unset XDG_CONFIG_HOME XDG_DATA_HOME
tries=0
until xdotool getdisplaygeometry >/dev/null 2>&1; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || fail "Xvfb on $display did not start"
  sleep 0.1
done

# The counter kept in the session file; 0 while there is none.
kept_counter() {
  sed -n 's/.*"counter": *\([0-9]*\),.*/\1/p' "$work/desktop/data/session.autosave" 2>/dev/null |
    head -n 1 | grep . || echo 0
}
# Waits up to 20 s for the kept counter to reach N; fails saying WHAT did not happen.
await_counter() {
  tries=0
  until [ "$(kept_counter)" -eq "$1" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 400 ] || fail "$2 (counter $(kept_counter))"
    sleep 0.05
  done
}

(cd "$work/desktop" && exec "$bin/quorin") >"$work/desktop.log" 2>&1 &
program=$!
window=""
tries=0
while [ -z "$window" ]; do
  window=$(xdotool search --onlyvisible --name '^Valdane Racing$' 2>/dev/null | head -n 1 || true)
  tries=$((tries + 1))
  [ "$tries" -lt 200 ] || fail "the main window did not show"
  [ -n "$window" ] || sleep 0.1
done
# The main window goes up before its controls are made; the first session is kept once the
# program is ready for the user, after start-up, and only then is PLOT surely there to click.
await_counter 1 "the program did not get ready (no session kept)"

# PLOT lies at 136..189 x 245..264 pixels from the bottom left of the 388 x 696 window.
n=1
while [ "$n" -le 7 ]; do
  xdotool mousemove --window "$window" 162 441 click 1
  await_counter $((n + 1)) "PLOT $n did not reach the kept session"
  n=$((n + 1))
done
kill -9 "$program"
wait "$program" 2>/dev/null || true
program=""

restored=$(printf 'start %s\nrestore\nglobal counter\nglobal plotdata\n' "$work/desktop" |
  "$bin/quorin-script" 2>/dev/null)
expected=$(printf 'start %s\n%s\nglobal counter\nglobal plotdata\n' "$work/script" \
  "$(printf 'press PLOT\n%.0s' 1 2 3 4 5 6 7)" | "$bin/quorin-script" 2>/dev/null)

[ "$(printf '%s\n' "$restored" | sed -n 2p)" = '{"ok": true}' ] ||
  fail "restore: $(printf '%s\n' "$restored" | sed -n 2p)"
[ "$(printf '%s\n' "$restored" | sed -n 3p)" = '{"value":8}' ] ||
  fail "counter after restore: $(printf '%s\n' "$restored" | sed -n 3p)"
[ "$(printf '%s\n' "$restored" | tail -n 2)" = "$(printf '%s\n' "$expected" | tail -n 2)" ] ||
  fail "the restored curves differ from seven PLOTs of the same set-up"
echo "seven curves came back exactly ($(printf '%s\n' "$restored" | tail -n 1 | wc -c) bytes)"

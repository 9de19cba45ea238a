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
tools=xdotool
. "$(dirname "$0")/private_display.sh"

# Two copies of the supplied files: one for the desktop program, one for the script driver.
for f in desktop script; do
  mkdir -p "$work/$f/data"
  cp -R "$supplied"/. "$work/$f"/
done

start_program

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

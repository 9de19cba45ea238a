#!/bin/sh
# Under a window manager, each warning that PLOT opens at the overlay limit comes up in front
# of the main window, the second as well as the first, though the user clicked in the main
# window just before.
#
#   warning_desktop_test.sh BIN_DIR SUPPLIED_DIR
#
# Exit status 0 when every warning is in front, 1 when one is not, 77 (skipped) without Xvfb,
# xdotool, openbox or xprop.
set -eu
bin=$(cd "$1" && pwd)
supplied=$(cd "$2" && pwd)
tools="xdotool openbox xprop"
. "$(dirname "$0")/private_display.sh"
mkdir -p "$work/desktop/data"
cp -R "$supplied"/. "$work/desktop"/
start_window_manager

# The windows named like the main window (the main window and the warnings), one id a line.
named_windows() { xdotool search --onlyvisible --name '^Valdane Racing$' 2>/dev/null || true; }
# The window in front of all others.
front_window() {
  xprop -root _NET_CLIENT_LIST_STACKING | sed 's/^[^#]*# *//; s/,//g' | tr ' ' '\n' |
    grep . | tail -n 1 | xargs printf '%d\n'
}
# Waits until N windows are named like the main window; fails naming WHEN.
await_named() {
  tries=0
  until [ "$(named_windows | wc -l)" -eq "$1" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || fail "$2: $(named_windows | wc -l) windows named Valdane Racing"
    sleep 0.05
  done
}
plot() { xdotool mousemove --window "$window" 162 441 click 1; }

start_program
n=1
while [ "$n" -le 7 ]; do
  plot
  await_counter $((n + 1)) "PLOT $n did not store a curve"
  n=$((n + 1))
done
before=$(named_windows)
for warning in 1 2; do
  plot
  await_named $((warning + 1)) "warning $warning did not open"
  new=$(named_windows | grep -vxF "$before" | head -n 1)
  before=$(named_windows)
  tries=0
  until [ "$(front_window)" -eq "$new" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || fail "warning $warning is not in front (front: $(front_window), warning: $new)"
    sleep 0.05
  done
done
echo "each warning came up in front"

#!/bin/sh
# Under a window manager the program starts with its main window in front of the comparison
# window and holding the keyboard, start after start; so does a start that first asks whether
# to bring back a session left by a killed program, once the question is answered.
#
#   stacking_desktop_test.sh BIN_DIR SUPPLIED_DIR
#
# Exit status 0 when every start stacks so, 1 when one does not, 77 (skipped) without Xvfb,
# xdotool, openbox or xprop.
set -eu
bin=$(cd "$1" && pwd)
supplied=$(cd "$2" && pwd)
tools="xdotool openbox xprop"
. "$(dirname "$0")/private_display.sh"
mkdir -p "$work/desktop/data"
cp -R "$supplied"/. "$work/desktop"/
start_window_manager

# The windows' titles, back to front, joined by |.
titles_back_to_front() {
  for w in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/^[^#]*# *//; s/,//g'); do
    xprop -id "$w" WM_NAME | sed 's/^[^"]*"//; s/"$//'
  done | paste -sd'|' -
}
# Waits until window TITLE holds the keyboard and the titles back to front match ORDER (a
# shell pattern); fails naming WHEN.
in_front() {
  tries=0
  until [ "$(xdotool getactivewindow getwindowname 2>/dev/null)" = "$1" ] &&
        case "$(titles_back_to_front)" in $2) true ;; *) false ;; esac; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] ||
      fail "$3: back to front $(titles_back_to_front), keyboard $(xdotool getactivewindow getwindowname)"
    sleep 0.05
  done
}
kill_program() {
  kill -9 "$program"
  wait "$program" 2>/dev/null || true
  program=""
}

for n in 1 2 3 4 5; do
  start_program
  in_front "Valdane Racing" "Damper Curve Comparison|Valdane Racing" "start $n"
  kill_program
  rm -f "$work/desktop/data/session.autosave"
done

# A killed program's session: the next start first asks whether to bring it back. The question
# is in front of the windows and holds the keyboard; Alt+Y answers Yes.
start_program
xdotool mousemove --window "$window" 162 441 click 1
await_counter 2 "PLOT did not reach the kept session"
kill_program
(cd "$work/desktop" && exec "$bin/quorin") >"$work/desktop.log" 2>&1 &
program=$!
in_front quorin "*|quorin" "the restore question"
xdotool key alt+y
in_front "Valdane Racing" "Damper Curve Comparison|Valdane Racing" "after the restore question"
echo "the main window came up in front at every start"

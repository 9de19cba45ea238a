#!/bin/sh
# The comparison window's menu items on a real X display under a window manager, each used once
# by its key and once by a right click (the menu walked with the arrow keys), with their
# questions answered by typing: the window, file or change each one makes appears.
#
#   menu_walk_desktop_test.sh BIN_DIR SUPPLIED_DIR
#
# Exit status 0 when every item did its work, 1 when one did not, 77 (skipped) without Xvfb,
# xdotool, openbox or xprop.
set -eu
bin=$(cd "$1" && pwd)
supplied=$(cd "$2" && pwd)
tools="xdotool openbox xprop"
. "$(dirname "$0")/private_display.sh"
mkdir -p "$work/desktop/data"
cp -R "$supplied"/. "$work/desktop"/
start_window_manager

# Waits up to 20 s for a shown window named exactly NAME and prints its id; fails saying WHAT.
await_window() {
  tries=0
  until found=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) &&
    [ -n "$found" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 400 ] || fail "$2: no window \"$1\""
    sleep 0.05
  done
  echo "$found"
}
await_file() {
  tries=0
  until [ -s "$1" ]; do
    tries=$((tries + 1))
    [ "$tries" -lt 400 ] || fail "$2: no file $1"
    sleep 0.05
  done
}
# Closes the window with the id given as the window manager's Close does.
close_window() {
  xdotool windowactivate --sync "$1" key --clearmodifiers alt+F4
  tries=0
  while xdotool search --onlyvisible --name "^$2\$" 2>/dev/null | grep -qx "$1"; do
    tries=$((tries + 1))
    [ "$tries" -lt 200 ] || fail "$2 did not close"
    sleep 0.05
  done
}
# Answers the question titled TITLE by typing TEXT (none: the offered answer) and Enter.
answer() {
  dialog=$(await_window "$1" "$3")
  xdotool windowactivate --sync "$dialog"
  [ -z "$2" ] || xdotool type --delay 5 "$2"
  xdotool key Return
  # Gone before anything else is looked for: a question may share its window's name.
  tries=0
  while xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -qx "$dialog"; do
    tries=$((tries + 1))
    [ "$tries" -lt 400 ] || fail "$3: the question \"$1\" did not close"
    sleep 0.05
  done
}

start_program
for n in 2 3; do
  xdotool mousemove --window "$window" 162 441 click 1
  await_counter "$n" "PLOT $((n - 1)) did not store a curve"
done
comparison=$(await_window "Damper Curve Comparison" "start")

# Uses the item numbered N of the menu (1 = the first) by KEY or by a right click.
use() {
  xdotool windowactivate --sync "$comparison"
  if [ "$way" = key ]; then
    xdotool key --clearmodifiers "$2"
  else
    xdotool mousemove --window "$comparison" 400 300 click 3
    sleep 0.3
    i=0
    while [ "$i" -lt "$1" ]; do xdotool key Down; i=$((i + 1)); done
    xdotool key Return
  fi
}

for way in key menu; do
  what="Save picture by $way"
  use 1 ctrl+s
  answer "Save Picture As" "$work/walk-$way.png" "$what"
  answer "Picture Resolution" "" "$what"
  await_file "$work/walk-$way.png" "$what"

  what="Save curves as CSV by $way"
  use 3 ctrl+e
  answer "Save Curves As" "$work/walk-$way.csv" "$what"
  await_file "$work/walk-$way.csv" "$what"

  for item in "4 ctrl+t Curves at Velocities" "5 ctrl+d Difference" "7 ctrl+k Clicker Sweep" \
    "11 ctrl+shift+g Damping Ratio" "12 ctrl+r Ride and Grip" "13 ctrl+shift+m Grip Map" \
    "22 ctrl+l Set-up Library"; do
    set -- $item
    number=$1
    key=$2
    shift 2
    name="$*"
    what="$name by $way"
    use "$number" "$key"
    case "$name" in
      Difference) answer "Difference of Two Curves" "" "$what" ;;
      "Clicker Sweep") answer "Clicker Sweep" "" "$what" ;;
      "Damping Ratio") answer "Damping Ratio" "" "$what" ;;
      "Ride and Grip")
        answer "Ride and Grip" "" "$what"
        answer "Ride and Grip: Road" "" "$what"
        ;;
      "Grip Map") answer "Grip Map" "" "$what" ;;
    esac
    opened=$(await_window "$name" "$what")
    close_window "$opened" "$name"
  done

  what="Undo by $way"
  use 20 ctrl+z
  await_counter 2 "$what did not take the last PLOT back"
  xdotool mousemove --window "$window" 162 441 click 1
  await_counter 3 "PLOT after $what"
done
# The measured-data items, after the undo walk above (reading a run is a step Undo takes back):
# a dyno run file and a logger file read through their real dialogs.
awk 'BEGIN { print "Time (s),Displacement (mm),Force (N)"; pi = 3.14159265
  for (r = 1; r <= 3; r++) { for (k = 0; k <= 3000 / r; k++) { t = k / 1000
    printf "%.4f,%.4f,%.3f\n", t, -25 * cos(2 * pi * r * t), 471 * r * sin(2 * pi * r * t) + 150 }
    print "" } }' > "$work/run.csv"
awk 'BEGIN { print "Time (s),Damper FL (mm),Damper FR (mm),Damper RL (mm),Damper RR (mm)"
  for (k = 0; k < 2000; k++) { t = k / 200
    printf "%.3f,%.3f,%.3f,%.3f,%.3f\n", t, 9 * sin(t), 8 * sin(1.1 * t), 12 * cos(t), 11 * cos(0.9 * t) } }' \
  > "$work/log.csv"
for way in key menu; do
  what="Read dyno run file by $way"
  use 14 ctrl+shift+r
  answer "Read Dyno Run File" "$work/run.csv" "$what"
  answer "Gas Force and Friction" "" "$what"
  opened=$(await_window "Dyno Run" "$what")
  close_window "$opened" "Dyno Run"

  what="Track data by $way"
  use 18 ctrl+shift+l
  answer "Read Track Data" "$work/log.csv" "$what"
  opened=$(await_window "Track Data" "$what")
  close_window "$opened" "Track Data"
done
echo "every item walked by key and by the menu"

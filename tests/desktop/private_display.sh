# Sourced by the desktop tests: a scratch folder ($work, with home and runtime folders), a
# private Xvfb display in DISPLAY, and a cleanup that kills $program and $wm when set. Needs
# `tools` (the commands the test uses besides Xvfb); a missing one skips the test (status 77).
# fail MESSAGE prints it and the program's log ($work/desktop.log) and ends with status 1.
# The program under test runs in $work/desktop (start_program).
for tool in Xvfb $tools; do
  command -v "$tool" >/dev/null 2>&1 || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
xvfb=""
wm=""
program=""
cleanup() {
  [ -n "$program" ] && kill -9 "$program" 2>/dev/null || true
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
fail() { echo "FAILED: $*"; [ -f "$work/desktop.log" ] && cat "$work/desktop.log"; exit 1; }

mkdir -p "$work/home" "$work/runtime"
chmod 700 "$work/runtime"

# -displayfd: the server takes a free display number and writes it when it is ready for
# clients. -noreset: by default the server starts over when its last client leaves, and
# refuses connections meanwhile, which a program starting just then would meet.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
tries=0
until [ -s "$work/display" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || fail "Xvfb did not start"
  sleep 0.1
done
display=:$(head -n 1 "$work/display")
export DISPLAY="$display" QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
unset XDG_CONFIG_HOME XDG_DATA_HOME

# The counter kept in the session file; 0 while there is none. The packed file opens with
# its title (a length of 8 bytes, then "quorin kept session") and its version (8 bytes); the
# counter follows as a little-endian double.
kept_counter() {
  od -An -t f8 -j 35 -N 8 "$work/desktop/data/session.autosave" 2>/dev/null |
    awk '{ printf "%d\n", $1 }' | grep . || echo 0
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

# Starts $bin/quorin in $work/desktop ($program), waits for its main window ($window) and for it
# to be ready for the user: the main window goes up before its controls are made, and the first
# session is kept after start-up, so only then are the controls surely there to click.
start_program() {
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
  await_counter 1 "the program did not get ready (no session kept)"
}

# Starts openbox on the display ($wm) and waits until it manages windows (needs openbox and
# xprop in `tools`).
start_window_manager() {
  openbox >/dev/null 2>&1 &
  wm=$!
  tries=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
    tries=$((tries + 1))
    [ "$tries" -lt 100 ] || fail "openbox did not start"
    sleep 0.1
  done
}

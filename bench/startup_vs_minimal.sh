#!/bin/sh
# Launch to main window mapped: quorin beside a minimal Qt Widgets program, started the same
# way, alternately, on a private Xvfb display. Prints each round, the medians and their ratio.
#
#   bench/startup_vs_minimal.sh BUILD/bin [rounds]
#
# Needs Xvfb and the bench_window_mapped and bench_minimal_window programs of a Release build.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$1" && pwd)
rounds=${2:-15}
for p in quorin bench_minimal_window bench_window_mapped; do
  [ -x "$bin/$p" ] || { echo "missing $bin/$p (build it first)" >&2; exit 2; }
done

display=:$((90 + $$ % 500))
runtime=$(mktemp -d)
chmod 700 "$runtime"
# -noreset: the server must not start over (refusing connections) each time a program ends.
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$runtime"' EXIT INT TERM

export DISPLAY="$display" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$runtime" HOME="$runtime"
# Wait for the display: the watcher says 2 while it cannot connect, 1 when no window came.
tries=0
while :; do
  status=0
  "$bin/bench_window_mapped" --timeout 0.05 -- true >/dev/null 2>&1 || status=$?
  [ "$status" -ne 2 ] && break
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || { echo "Xvfb on $display did not start" >&2; exit 2; }
  sleep 0.1
done
cd "$bin"
# One unmeasured start of each, so both find the libraries and fonts in the page cache.
"$bin/bench_window_mapped" --title "Minimal window" -- "$bin/bench_minimal_window" >/dev/null 2>&1 || true
"$bin/bench_window_mapped" --title "Valdane Racing" -- "$bin/quorin" >/dev/null 2>&1 || true

minimal=""
quorin=""
i=0
echo "round  minimal ms  quorin ms"
while [ "$i" -lt "$rounds" ]; do
  m=$("$bin/bench_window_mapped" --title "Minimal window" -- "$bin/bench_minimal_window" 2>/dev/null) ||
    { echo "the minimal window did not show" >&2; exit 1; }
  q=$("$bin/bench_window_mapped" --title "Valdane Racing" -- "$bin/quorin" 2>/dev/null) ||
    { echo "the main window did not show" >&2; exit 1; }
  printf '%5d  %10s  %9s\n' "$i" "$m" "$q"
  minimal="$minimal $m"
  quorin="$quorin $q"
  i=$((i + 1))
done

# shellcheck source=bench/median.sh
. "$here/median.sh"
mm=$(median "$minimal")
qm=$(median "$quorin")
echo "median: minimal $mm ms, quorin $qm ms, ratio $(awk -v q="$qm" -v m="$mm" 'BEGIN {printf "%.2f", q / m}')"

#!/bin/sh
# IMPORT as the user meets it: quorin-script started, given the 1,000,000-row text curve
# (32 MB) and ended, beside the same start and end without the IMPORT, alternately. Both runs
# keep the session after every line and put it aside at the end, so the difference is what the
# IMPORT costs, the kept session included. Prints each round, the medians and the IMPORT's
# speed in MB of file per second of wall time.
#
#   bench/import_as_user.sh BUILD/bin [rounds]
#
# Needs the quorin-script program of a Release build and awk.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "$1" && pwd)
rounds=${2:-9}
[ -x "$bin/quorin-script" ] || { echo "missing $bin/quorin-script (build it first)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
# The program with its supplied files in a folder of its own, so its kept session is its own.
cp -r "$bin/." "$work/program"
awk 'BEGIN { n = 1000000; for (i = 0; i < n; i++) { v = 5 * i / (n - 1);
       printf "%.8f\t%.4f\t%.4f\n", v, 1800 * v + 40.5, -2600 * v - 35.25 } }' >"$work/curve.txt"
bytes=$(wc -c <"$work/curve.txt")
printf 'start\n' >"$work/start.txt"
printf 'start\ndialog open %s/ curve.txt\ncommand quorin_processor_ct('"'"'import'"'"')\n' \
  "$work" >"$work/import.txt"

# Wall time of one run in milliseconds; its output is checked for errors.
run() {
  t0=$(date +%s%N)
  HOME="$work" "$work/program/quorin-script" "$1" >"$work/out.txt" 2>"$work/err.txt"
  t1=$(date +%s%N)
  if grep -q '"error"' "$work/out.txt"; then
    echo "the script failed:" >&2
    cat "$work/out.txt" "$work/err.txt" >&2
    exit 1
  fi
  echo $(((t1 - t0) / 1000))
}

# One unmeasured run of each, so the program, its libraries and the curve are in the page cache.
run "$work/start.txt" >/dev/null
run "$work/import.txt" >/dev/null

starts=""
imports=""
i=0
echo "round  start ms  start+IMPORT ms"
while [ "$i" -lt "$rounds" ]; do
  s=$(run "$work/start.txt")
  m=$(run "$work/import.txt")
  printf '%5d  %8.1f  %15.1f\n' "$i" "$(echo "$s" | awk '{print $1 / 1000}')" \
    "$(echo "$m" | awk '{print $1 / 1000}')"
  starts="$starts $s"
  imports="$imports $m"
  i=$((i + 1))
done

# shellcheck source=bench/median.sh
. "$here/median.sh"
sm=$(median "$starts")
im=$(median "$imports")
awk -v s="$sm" -v m="$im" -v b="$bytes" 'BEGIN {
  printf "median: start %.1f ms, start+IMPORT %.1f ms, IMPORT %.1f ms = %.0f MB/s (%.1f MB file)\n",
         s / 1000, m / 1000, (m - s) / 1000, b / 1e6 / ((m - s) / 1e6), b / 1e6 }'

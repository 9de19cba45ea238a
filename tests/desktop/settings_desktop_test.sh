#!/bin/sh
# The desktop program with something other than its settings file in the settings file's place:
# a FIFO (which once kept the window from ever showing), a link to a device node and a link to
# someone else's text. The window shows, the FIFO and the node are left as they are, and the
# text is moved aside whole (the link becomes quorin.conf.bad) with one warning.
#
#   settings_desktop_test.sh BIN_DIR SUPPLIED_DIR
#
# Exit status 0 when every case goes so, 1 when one does not, 77 (skipped) without Xvfb or
# xdotool.
set -eu
bin=$(cd "$1" && pwd)
supplied=$(cd "$2" && pwd)
tools="xdotool"
. "$(dirname "$0")/private_display.sh"
mkdir -p "$work/desktop/data"
cp -R "$supplied"/. "$work/desktop"/
config="$work/home/.config/quorin"

fresh_config() {
  rm -rf "$config" "$work/other"
  mkdir -p "$config" "$work/other"
  rm -f "$work/desktop/data/session.autosave"
}
stop_program() {
  kill -9 "$program"
  wait "$program" 2>/dev/null || true
  program=""
}

# A FIFO: the program must not wait for a writer.
fresh_config
mkfifo "$config/quorin.conf"
start_program
[ -p "$config/quorin.conf" ] || fail "the FIFO was replaced"
grep -q "cannot be read (it is a pipe (FIFO))" "$work/desktop.log" || fail "no warning about the FIFO"
stop_program

# A link to a device node of our own (a FIFO where nodes cannot be made): left as it is.
fresh_config
mknod "$work/other/node" c 1 3 2>/dev/null || mkfifo "$work/other/node"
ln -s "$work/other/node" "$config/quorin.conf"
start_program
[ -L "$config/quorin.conf" ] || fail "the link was replaced"
[ -c "$work/other/node" ] || [ -p "$work/other/node" ] || fail "the node was replaced"
stop_program

# A link to someone else's text: the text stays, the link is moved aside.
fresh_config
printf 'Shopping list\nmilk\n' >"$work/other/notes.txt"
ln -s "$work/other/notes.txt" "$config/quorin.conf"
start_program
[ "$(cat "$work/other/notes.txt")" = "$(printf 'Shopping list\nmilk')" ] || fail "the text was changed"
[ -L "$config/quorin.conf.bad" ] || fail "the link was not moved aside"
grep -q "is damaged; it was moved to" "$work/desktop.log" || fail "no warning about the text"
stop_program
echo "the window showed and nothing but a settings file was written"

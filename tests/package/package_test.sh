#!/usr/bin/env bash
# The installed program, tried from its package: builds the Debian package (scripts/package),
# unpacks it into a scratch root with dpkg -x and runs the unpacked programs with a scratch
# HOME. Checks that the first start makes the user's start folder from the installed copy,
# that start, PLOT and EXPORT # work there, that nothing is written into the unpacked tree,
# that a second start copies nothing and keeps the exports, that XDG_DATA_HOME is honoured,
# and that every program prints the package's version.
#   tests/package/package_test.sh [PACKAGE.deb]    without one the package is built first
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
scratch="$(mktemp -d /tmp/quorin-package-test.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
ms_now() { date +%s%N | cut -c1-13; }

if [ $# -ge 1 ]; then
  deb="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
else
  "$here/scripts/package" "$scratch/out"
  deb="$(ls "$scratch"/out/quorin_*.deb)"
fi
version="$(dpkg-deb -f "$deb" Version)"
echo "package $deb, version $version, $(stat -c %s "$deb") bytes"

root="$scratch/root"
dpkg -x "$deb" "$root"
bin="$root/usr/bin"
for p in quorin quorin-script quorin-checkdata; do
  [ -x "$bin/$p" ] || fail "$p is not in the package"
done

# What the package holds besides the programs.
[ -f "$root/usr/share/quorin/quorin_matrix_2007_v1.mat" ] || fail "no supplied data in /usr/share/quorin"
[ ! -e "$root/usr/share/quorin/data" ] || fail "the installed copy holds a data folder"
[ -f "$root/usr/share/applications/quorin.desktop" ] || fail "no desktop entry"
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/quorin.desktop" || fail "desktop entry invalid"
fi
for s in 16 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${s}x${s}/apps/quorin.png"
  file "$png" | grep -q "PNG image data, $s x $s," || fail "icon $png is not a $s by $s PNG"
done
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quorin.svg" || fail "no SVG icon"
for page in quorin quorin-script quorin-checkdata; do
  zcat "$root/usr/share/man/man1/$page.1.gz" >"$scratch/$page.1"
  grep -q '^\.TH' "$scratch/$page.1" || fail "no manual page for $page"
done
[ -f "$root/usr/share/doc/quorin/copyright" ] || fail "no copyright file"

# Every document the Help button shows, with every picture and document it links to.
doc="$root/usr/share/doc/quorin"
for d in user-guide tuning measured-data ride library scripting file-formats damper-model; do
  [ -f "$doc/$d.md" ] || fail "$d.md is not in /usr/share/doc/quorin"
done
for md in "$doc"/*.md; do
  # Markdown links and pictures: ](target) with no scheme, without the #anchor.
  targets="$( (grep -o '](\([^)]*\))' "$md" || true) | sed 's/^](\(.*\))$/\1/; s/#.*//' |
    (grep -v -E '^([a-z]+:|$)' || true))"
  for target in $targets; do
    [ -f "$(dirname "$md")/$target" ] || fail "$(basename "$md") links to $target, which is not installed"
  done
done
for d in tuning measured-data ride library scripting file-formats damper-model; do
  grep -q "]($d.md)" "$doc/user-guide.md" || fail "the user guide does not link to $d.md"
done

# The manual pages: quorin-script(1) lists exactly the commands of quorin-script --help; quorin(1)
# tells of the right-click menus, the restore question and the Help button.
page_verbs="$(zcat "$root/usr/share/man/man1/quorin-script.1.gz" | sed -n '/^\.TP$/{n;s/^\.BI\? "\([^"]*\)".*/\1/p}' |
  sed 's/\\-/-/g')"
help_text="$("$bin/quorin-script" --help)"
[ "$(echo "$page_verbs" | wc -l)" -eq "$(echo "$help_text" | grep -c '^  [a-z]')" ] ||
  fail "quorin-script(1) and --help list different numbers of commands"
while read -r verb; do
  echo "$help_text" | grep -q "^  $verb\( \|$\)" || fail "quorin-script(1) lists '$verb', --help does not"
done <<<"$page_verbs"
for verb in restore reopen menu legend clipboard "dialog input"; do
  echo "$page_verbs" | grep -qx "$verb" || fail "quorin-script(1) lacks $verb"
done
quorin_page="$(zcat "$root/usr/share/man/man1/quorin.1.gz" | sed 's/\\-/-/g')"
# Its MENUS section is written from the program's own menus.
for phrase in "right-click" "Reopen last session" "did not end with EXIT" "Help" "Ride and grip" \
  "Read dyno run file" "Library" "Ctrl+Shift+M"; do
  grep -q "$phrase" <<<"$quorin_page" || fail "quorin(1) does not mention '$phrase'"
done

# Every program prints the one version.
for p in quorin quorin-script quorin-checkdata; do
  out="$("$bin/$p" --version)"
  [ "$out" = "$p $version" ] || fail "$p --version printed '$out', not '$p $version'"
done
# Read whole first: grep -q stops at its match and would cut the program off in mid-write.
quorin_help="$("$bin/quorin" --help)"
grep -q 'XDG_DATA_HOME' <<<"$quorin_help" || fail "quorin --help does not tell the start-folder rules"
grep -q 'Grip map… (Ctrl+Shift+M)' <<<"$quorin_help" || fail "quorin --help does not list the menus"

# The unpacked tree as it was; compared after every run.
tree_state() { (cd "$root" && find . -printf '%p %s %m %T@\n' | sort); }
tree_state >"$scratch/tree.before"
unchanged() {
  tree_state >"$scratch/tree.after"
  diff -u "$scratch/tree.before" "$scratch/tree.after" >&2 || fail "the unpacked tree changed ($1)"
}

# Runs the unpacked quorin-script from an empty folder with the scratch HOME and no XDG
# variables, on the script in $1; standard output to $2, standard error to $3.
work="$scratch/work"
mkdir -p "$work"
run_script() {
  (cd "$work" && env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u DISPLAY -u WAYLAND_DISPLAY \
    HOME="$scratch/home" QT_QPA_PLATFORM=offscreen "$bin/quorin-script" "$1" >"$2" 2>"$3")
}
cat >"$scratch/plot.script" <<'SCRIPT'
start
press PLOT
press EXPORT #
global counter
SCRIPT
expect_success() {  # $1: stdout of a run of plot.script
  [ "$(wc -l <"$1")" -eq 4 ] || fail "expected 4 answers, got: $(cat "$1")"
  ! grep -q '"error"' "$1" || fail "a command failed: $(cat "$1")"
  [ "$(sed -n 4p "$1" | tr -d ' ')" = '{"value":2}' ] || fail "PLOT stored no curve: $(cat "$1")"
}

user="$scratch/home/.local/share/quorin"
mkdir -p "$scratch/home"
t0=$(ms_now)
run_script "$scratch/plot.script" "$scratch/out1" "$scratch/err1" || fail "quorin-script failed: $(cat "$scratch/err1")"
t1=$(ms_now)
expect_success "$scratch/out1"
grep -q "copied" "$scratch/err1" || fail "the first start did not say it made the start folder"
[ -s "$user/data/export.txt" ] || fail "export.txt under the scratch HOME is missing or empty"
for f in "$root"/usr/share/quorin/*; do
  cmp -s "$f" "$user/$(basename "$f")" || fail "$(basename "$f") was not copied whole"
done
unchanged "first start"
[ -z "$(ls -A "$work")" ] || fail "files were written into the current folder: $(ls -A "$work")"
"$bin/quorin-checkdata" "$user" >/dev/null || fail "quorin-checkdata finds the user's start folder incomplete"
lines_after_first=$(wc -l <"$user/data/export.txt")

# A second start copies nothing and appends to the same export file.
t2=$(ms_now)
run_script "$scratch/plot.script" "$scratch/out2" "$scratch/err2" || fail "second run failed: $(cat "$scratch/err2")"
t3=$(ms_now)
expect_success "$scratch/out2"
! grep -q "copied" "$scratch/err2" || fail "the second start copied again: $(cat "$scratch/err2")"
[ "$(wc -l <"$user/data/export.txt")" -eq $((2 * lines_after_first)) ] ||
  fail "the second export did not append to the first"
unchanged "second start"

# A lost file comes back; the user's own files stay as they are.
rm "$user/lht.mat"
run_script "$scratch/plot.script" "$scratch/out3" "$scratch/err3" || fail "third run failed"
expect_success "$scratch/out3"
cmp -s "$root/usr/share/quorin/lht.mat" "$user/lht.mat" || fail "a deleted data file was not copied back"
[ "$(wc -l <"$user/data/export.txt")" -eq $((3 * lines_after_first)) ] || fail "export.txt was replaced"

# XDG_DATA_HOME chooses where the start folder is made.
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$scratch/home" XDG_DATA_HOME="$scratch/xdg" \
  QT_QPA_PLATFORM=offscreen "$bin/quorin-script" "$scratch/plot.script" >"$scratch/out4" 2>"$scratch/err4") ||
  fail "run with XDG_DATA_HOME failed"
expect_success "$scratch/out4"
[ -s "$scratch/xdg/quorin/data/export.txt" ] || fail "XDG_DATA_HOME was not used"
unchanged "XDG_DATA_HOME"

# The start alone, with and without the copy.
echo start >"$scratch/start.script"
rm -rf "$scratch/home"
mkdir -p "$scratch/home"
t4=$(ms_now)
run_script "$scratch/start.script" "$scratch/out5" "$scratch/err5" || fail "start failed"
t5=$(ms_now)
run_script "$scratch/start.script" "$scratch/out6" "$scratch/err6" || fail "start failed"
t6=$(ms_now)
[ "$(tr -d ' ' <"$scratch/out5")" = '{"ok":true}' ] || fail "start in a fresh HOME: $(cat "$scratch/out5")"

# The example of quorin-script(1) runs as it stands (its files written under the scratch folder).
example="$scratch/example"
mkdir -p "$example"
zcat "$root/usr/share/man/man1/quorin-script.1.gz" | sed -n '/^A short example/,/^\.fi/p' |
  sed -n '/^\.nf$/,/^\.fi$/p' | grep -v '^\.' | sed "s| /tmp/ | $example/ |" >"$example/example.script"
grep -q '^dialog save' "$example/example.script" || fail "no example found in quorin-script(1)"
(cd "$example" && env -u DISPLAY -u WAYLAND_DISPLAY HOME="$scratch/home" QT_QPA_PLATFORM=offscreen \
  "$bin/quorin-script" "$example/example.script" >"$example/out" 2>"$example/err") ||
  fail "the manual page's example failed: $(cat "$example/err")"
! grep -q '"error"' "$example/out" || fail "the manual page's example: $(cat "$example/out")"
[ -s "$example/curves.csv" ] || fail "the manual page's example saved no curves"
[ -s "$example/comparison.png" ] || fail "the manual page's example rendered no picture"

echo "start, PLOT, EXPORT #: first run with the copy $((t1 - t0)) ms, second run $((t3 - t2)) ms"
echo "start alone: first start with the copy $((t5 - t4)) ms, second start $((t6 - t5)) ms"
echo "PASS: the unpacked package starts, plots and exports under a scratch HOME and writes nothing into its own tree"

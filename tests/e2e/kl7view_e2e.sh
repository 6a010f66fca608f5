#!/usr/bin/env bash
# End-to-end test of the real kl7view: what it says on stdout and stderr when it opens no window,
# then under Xvfb (a 1280x800 screen at twice the scale) that its window fits the screen, keys and
# mouse buttons typed into it with xdotool, the real X11 clipboard read with xclip while the program
# runs, the line about a library that cannot be read, a library file replaced while shown, a file
# opened through Ctrl+O's dialog, and that Esc ends it with exit status 0.
# Usage: kl7view_e2e.sh <kl7view> <make_e2e_utils>
# With KL7_E2E_TRANSCRIPT set, the clipboard texts of the shared sequence are written there.
set -euo pipefail
set -f  # no file-name patterns: LIB[3,12] is an argument, not a pattern
here=$(cd "$(dirname "$0")" && pwd)

viewer=$(realpath "$1")
make_utils=$(realpath "$2")
skip=77

for tool in Xvfb xdotool xclip; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit "$skip"
  fi
done

work=$(mktemp -d)
xvfb_pid=""
viewer_pid=""
cleanup() {
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then kill "$viewer_pid"; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

"$make_utils" "$work/host/utils"
cd "$work"

# Unusable argument lists end the program at once with status 0, before any window exists (with no
# display to connect to, creating the application would fail), after one line on stderr that says
# why and a usage line. Each case: the arguments, one to a line, then "=" and the start of the line
# that follows "kl7view: ".
check_refused() {
  local arguments=() expected status=0
  while [ "$#" -gt 0 ] && [ "${1:0:1}" != "=" ]; do
    arguments+=("$1")
    shift
  done
  expected=${1#=}
  env -u DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$viewer" "${arguments[@]}" \
    >"$work/out.log" 2>"$work/err.log" || status=$?
  local what="kl7view ${arguments[*]}"
  [ "$status" -eq 0 ] || fail "$what exited with status $status"
  [ ! -s "$work/out.log" ] || fail "$what wrote on stdout: $(cat "$work/out.log")"
  [ "$(wc -l <"$work/err.log")" -eq 2 ] || fail "$what wrote: $(cat "$work/err.log")"
  local line
  line=$(head -n 1 "$work/err.log")
  [ "${line#"kl7view: $expected"}" != "$line" ] || fail "$what wrote '$line', expected '$expected'"
  grep -q '^usage: kl7view ' "$work/err.log" || fail "$what wrote no usage line"
}
check_refused "=no library file or reference given"
check_refused a b c "=3 arguments:"
check_refused "$work" "='$work' is a directory without KL700.DAT"
check_refused --help KL701.DAT "='--help' is neither a library file"
check_refused KL71.DAT "='KL71.DAT' is no library file name"
check_refused host/utils/kl7g1.dat "='kl7g1.dat': 'g1' is not a hexadecimal library number"
# Control characters reach the terminal as escapes, never as themselves.
check_refused $'host/utils/kl7\e\x7f.dat' \
  "='kl7\\x1b\\x7f.dat': '\\x1b\\x7f' is not a hexadecimal library number"
check_refused 'LIB[3,12]' "=the reference 'LIB[3,12]' needs a second argument"
check_refused 'LIB[,5]' "$work/host/x.txt" "=the reference 'LIB[,5]': no library number"
check_refused 'lib[3,y]' "$work/host/x.txt" \
  "=the reference 'lib[3,y]': the entry number 'y' is not a number"
check_refused 'LIB[3,12]' Y.DAT "='Y.DAT' has no directory part"
check_refused 'LIB[3,12]' ab/y.dat "=no utils directory found above 'ab/y.dat'"

# Without a display that answers, a usable start ends with status 1 and one line that says so.
for display in "" ":9876" "unix:9876.0"; do
  status=0
  env -u WAYLAND_DISPLAY DISPLAY="$display" QT_QPA_PLATFORM=xcb timeout 10 "$viewer" \
    "$work/host/utils/KL701.DAT" >"$work/out.log" 2>"$work/err.log" || status=$?
  [ "$status" -eq 1 ] || fail "without the display '$display' kl7view exited with status $status"
  [ "$(wc -l <"$work/err.log")" -eq 1 ] && grep -q '^kl7view: no display' "$work/err.log" ||
    fail "without the display '$display' kl7view wrote: $(cat "$work/err.log")"
done

# --help and --version alone answer on stdout.
env -u DISPLAY "$viewer" --help >"$work/out.log" 2>&1 || fail "--help failed"
grep -q '^usage: kl7view \[DIRECTORY/\]KL7xx.DAT' "$work/out.log" || fail "--help: $(cat "$work/out.log")"
grep -q "Backspace" "$work/out.log" || fail "--help names no keys"
grep -q "man kl7view" "$work/out.log" || fail "--help names no manual page"
env -u DISPLAY "$viewer" --version >"$work/out.log" 2>&1 || fail "--version failed"
grep -qx "kl7view [0-9.]*" "$work/out.log" || fail "--version: $(cat "$work/out.log")"

# Xvfb picks a free display itself and writes its number to the given descriptor.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb reported no display"
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb
# At twice the scale the window as laid out (1392x1162 pixels) is larger than the screen.
export QT_SCALE_FACTOR=2

# shellcheck source=tests/e2e/focus_window.sh
. "$here/focus_window.sh"

# Starts kl7view with the given arguments and waits until its window has the focus.
window=""
start_viewer() {
  "$viewer" "$@" >"$work/viewer.log" 2>&1 &
  viewer_pid=$!
  window=$(timeout 30 xdotool search --sync --all --onlyvisible --pid "$viewer_pid" \
    --name '^Bibliotheken 32 Bit-Version$' | head -n 1) || fail "the window did not appear"
  [ -n "$window" ] || fail "the window did not appear"
  # There is no window manager: give the window the focus directly.
  focus_window "$window" || fail "the window did not take the focus"
}

alive() {
  kill -0 "$viewer_pid" 2>/dev/null || fail "kl7view ended early: $(cat "$work/viewer.log")"
}

# Esc (or the key $1) ends the program with status 0.
close_viewer() {
  alive
  xdotool key "${1:-Escape}"
  for _ in $(seq 100); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$viewer_pid" 2>/dev/null && fail "kl7view still runs after ${1:-Escape}"
  local status=0
  wait "$viewer_pid" || status=$?
  viewer_pid=""
  [ "$status" -eq 0 ] || fail "kl7view exited with status $status: $(cat "$work/viewer.log")"
}

# kl7view's output holds the line $1 within a few seconds.
expect_logged() {
  for _ in $(seq 50); do
    grep -qxF "$1" "$work/viewer.log" && return 0
    sleep 0.1
  done
  fail "kl7view did not write '$1': $(cat "$work/viewer.log")"
}

# The clipboard's text (or that of the selection $2) once it equals $1, within a few seconds.
expect_clipboard() {
  local expected=$1 actual=""
  for _ in $(seq 100); do
    actual=$(timeout 2 xclip -o -selection "${2:-clipboard}" -t UTF8_STRING 2>/dev/null || true)
    [ "$actual" = "$expected" ] && return 0
    sleep 0.1
  done
  fail "clipboard holds '$actual', expected '$expected'"
}

# The keys, buttons and clipboard texts that the Windows window's test shares.
utils="$work/host/utils/"
# shellcheck source=tests/e2e/scripted_sequence.sh
. "$here/scripted_sequence.sh"

# A library named at start-up that cannot be read: the window opens, and stderr says why.
start_viewer "$work/host/utils/KL705.DAT"
expect_logged "kl7view: $work/host/utils/KL705.DAT: cannot read the library: file not found (status 12)"
close_viewer

# Anything after a library file is ignored, --help too. The window fits the screen.
start_viewer "$work/host/utils/KL701.DAT" --help
geometry=$(xdotool getwindowgeometry --shell "$window")
x=$(sed -n 's/^X=//p' <<<"$geometry")
y=$(sed -n 's/^Y=//p' <<<"$geometry")
width=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
height=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
[ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le 1280 ] && [ $((y + height)) -le 800 ] ||
  fail "the window (${width}x${height} at $x,$y) does not fit the 1280x800 screen"

run_scripted_sequence

# F12 on the reference in entry 3 shows library 2 with entry 1 selected; Alt+Left goes back to
# entry 3 of library 1. Ctrl+W closes.
xdotool key --delay 50 Down F12 Return
expect_clipboard "Stahl verzinkt"
xdotool key --delay 50 alt+Left Return
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
close_viewer ctrl+w

# A directory starts on the catalogue of the utils directory in it. Ctrl+F finds "stahl" in entry
# 3 of library 1 (the reference, resolved) and in entry 1 of library 2; Enter shows the first, F3
# the second. Shift+F12 lists where that one is used (entry 3 of library 1), which Enter shows;
# F3 wraps around to the first match. Ctrl+Q closes.
start_viewer "$work/host"
xdotool key ctrl+f
sleep 0.5
xdotool type --delay 50 stahl
xdotool key --delay 200 Return Return
sleep 0.5
xdotool key --delay 100 F3 Return
expect_clipboard "Stahl verzinkt"
expect_clipboard "Stahl verzinkt" primary
xdotool key shift+F12
sleep 0.5
xdotool key Return
sleep 0.5
xdotool key Return
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
xdotool key --delay 100 F3 Up Return
expect_clipboard "Zweite Zeile"
close_viewer ctrl+q

# In a copy of the directory: entry 1 of library 2 is copied; its file replaced by rename with
# library 1's is read again by itself within 3 seconds, keeping entry 1 selected, which Enter then
# copies from the new file.
cp -r "$work/host" "$work/copy"
start_viewer "$work/copy/utils/KL702.DAT"
xdotool key --delay 50 Down Down Return
expect_clipboard "Stahl verzinkt"
cp "$work/copy/utils/KL701.DAT" "$work/copy/utils/new.tmp"
mv "$work/copy/utils/new.tmp" "$work/copy/utils/KL702.DAT"
sleep 3
xdotool key Return
expect_clipboard "Grüße – 5 €"

# Ctrl+O: the file dialog takes the path of library 2 of the first directory, and the window starts
# anew on it, with nothing selected: two Downs reach entry 1, which Enter copies.
xdotool key ctrl+o
dialog=$(timeout 10 xdotool search --sync --all --onlyvisible --pid "$viewer_pid" \
  --name '^Bibliothek öffnen$' | head -n 1) || fail "Ctrl+O opened no file dialog"
focus_window "$dialog" || fail "the file dialog did not take the focus"
sleep 0.5
xdotool type --delay 20 "$work/host/utils/KL702.DAT"
xdotool key Return
# The window starts anew once the dialog has gone (slowly under the sanitizers): wait for that.
for _ in $(seq 100); do
  xdotool search --all --onlyvisible --pid "$viewer_pid" --name '^Bibliothek öffnen$' >/dev/null 2>&1 ||
    break
  sleep 0.2
done
xdotool search --all --onlyvisible --pid "$viewer_pid" --name '^Bibliothek öffnen$' >/dev/null 2>&1 &&
  fail "the file dialog did not close"
sleep 1
focus_window "$window" || fail "the window did not take the focus back"
xdotool key --delay 50 Down Down Return
expect_clipboard "Stahl verzinkt"
close_viewer
echo "PASS"

#!/usr/bin/env bash
# End-to-end test of kl7view.exe under wine: what it says on stdout and stderr when it opens no
# window, then on Xvfb, at twice the usual resolution (192 dots per inch), that its window is
# scaled and fits the monitor's work area, the keys, mouse buttons and clipboard texts that the Qt
# window's test checks (the same sequence, then the same further keys), the starts from a
# directory and from a reference, the error's message box, the window of keys (F1), the search
# (Ctrl+F, F3), where an entry is used (Shift+F12), the file dialog (Ctrl+O), and that Esc, Ctrl+W
# and Ctrl+Q end it with exit status 0. Wine bridges the Windows clipboard to X's, which xclip reads.
# Usage: kl7view_win32_e2e.sh <wine wrapper> <kl7view.exe> <make_e2e_utils.exe>
# With KL7_E2E_TRANSCRIPT set, the clipboard texts of the shared sequence are written there.
set -euo pipefail
set -f  # no file-name patterns: LIB[3,12] is an argument, not a pattern
here=$(cd "$(dirname "$0")" && pwd)

wine=$(realpath "$1")
viewer=$(realpath "$2")
make_utils=$(realpath "$3")
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
dpi_before=""
cleanup() {
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then kill "$viewer_pid"; fi
  if [ -n "$dpi_before" ]; then set_dpi "$dpi_before" || true; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# shellcheck source=tests/e2e/focus_window.sh
. "$here/focus_window.sh"

# The resolution that wine gives the programs it starts from now on; "none" removes the setting.
dpi_key='HKCU\Control Panel\Desktop'
current_dpi() {
  local value
  value=$("$wine" reg query "$dpi_key" /v LogPixels 2>/dev/null | tr -d '\r' |
    sed -n 's/.*LogPixels[[:space:]]*REG_DWORD[[:space:]]*//p')
  if [ -n "$value" ]; then echo $((value)); else echo none; fi
}
set_dpi() {
  if [ "$1" = none ]; then
    "$wine" reg delete "$dpi_key" /v LogPixels /f >/dev/null 2>&1 || true
  else
    "$wine" reg add "$dpi_key" /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
  fi
}

cd "$work"
# Wine's desktop process draws on the display of the program that started it, and windows of
# other programs of the same wine server can open only there. So when $DISPLAY is set (CI starts
# one Xvfb before wine), the test uses it; otherwise it starts an Xvfb of its own before the first
# program runs. Xvfb picks a free display itself and writes its number to the given descriptor.
if [ -z "${DISPLAY:-}" ]; then
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>display >xvfb.log 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s display ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat xvfb.log)"
    sleep 0.1
  done
  [ -s display ] || fail "Xvfb reported no display"
  DISPLAY=":$(head -n 1 display)"
  export DISPLAY
fi
read -r screen_width screen_height < <(xdotool getdisplaygeometry) || fail "no display at $DISPLAY"

"$wine" "$make_utils" 'host\utils' || fail "make_e2e_utils failed"

# Unusable argument lists end the program at once with status 0, without a window, after
# one line on stderr that says why and a usage line; the same lines as the Qt window's, with the
# paths in Windows' form. Each case: the arguments, one to a line, then "=" and the start of the
# line that follows "kl7view: ".
check_refused() {
  local arguments=() expected status=0
  while [ "$#" -gt 0 ] && [ "${1:0:1}" != "=" ]; do
    arguments+=("$1")
    shift
  done
  expected=${1#=}
  timeout 30 "$wine" "$viewer" "${arguments[@]}" >out.log 2>err.log || status=$?
  local what="kl7view.exe ${arguments[*]}"
  [ "$status" -eq 0 ] || fail "$what exited with status $status"
  [ ! -s out.log ] || fail "$what wrote on stdout: $(cat out.log)"
  [ "$(wc -l <err.log)" -eq 2 ] || fail "$what wrote: $(cat err.log)"
  local line
  line=$(head -n 1 err.log)
  [ "${line#"kl7view: $expected"}" != "$line" ] || fail "$what wrote '$line', expected '$expected'"
  grep -q '^usage: kl7view ' err.log || fail "$what wrote no usage line"
}
check_refused "=no library file or reference given"
check_refused a b c "=3 arguments:"
check_refused . "='.' is a directory without KL700.DAT"
check_refused --help KL701.DAT "='--help' is neither a library file"
check_refused KL71.DAT "='KL71.DAT' is no library file name"
check_refused 'host\utils\kl7g1.dat' "='kl7g1.dat': 'g1' is not a hexadecimal library number"
check_refused 'LIB[3,12]' "=the reference 'LIB[3,12]' needs a second argument"
check_refused 'LIB[,5]' 'host\x.txt' "=the reference 'LIB[,5]': no library number"
check_refused 'lib[3,y]' 'host\x.txt' "=the reference 'lib[3,y]': the entry number 'y' is not a number"
check_refused 'LIB[3,12]' Y.DAT "='Y.DAT' has no directory part"
check_refused 'LIB[3,12]' 'ab\y.dat' "=no utils directory found above 'ab\y.dat'"

# --help and --version alone answer on stdout.
"$wine" "$viewer" --help >out.log 2>&1 || fail "--help failed"
grep -q '^usage: kl7view \[DIRECTORY/\]KL7xx.DAT' out.log || fail "--help: $(cat out.log)"
grep -q "Backspace" out.log || fail "--help names no keys"
grep -q "kl7view.txt" out.log || fail "--help names no manual page"
"$wine" "$viewer" --version >out.log 2>&1 || fail "--version failed"
grep -qx "kl7view [0-9.]*" out.log || fail "--version: $(cat out.log)"

# At 192 dots per inch the window as laid out (1376 by 1108 pixels inside its frame) is larger
# than a screen of 1280 by 800.
dpi_before=$(current_dpi)
set_dpi 192

# Starts kl7view.exe with the given arguments and waits until its window has the focus.
window=""
start_viewer() {
  "$wine" "$viewer" "$@" >viewer.log 2>&1 &
  viewer_pid=$!
  for _ in $(seq 300); do
    window=$(xdotool search --onlyvisible --name '^Bibliotheken 32 Bit-Version$' 2>/dev/null |
      head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$viewer_pid" 2>/dev/null || fail "kl7view.exe ended early: $(cat viewer.log)"
    sleep 0.1
  done
  [ -n "$window" ] || fail "the window did not appear"
  # There is no window manager: give the window the focus directly.
  focus_window "$window" || fail "the window did not take the focus"
  # Wine activates the window once it has seen the focus arrive; keys before that are lost.
  sleep 0.5
}

alive() {
  kill -0 "$viewer_pid" 2>/dev/null || fail "kl7view.exe ended early: $(cat viewer.log)"
}

# Esc (or the key $1) ends the program with status 0 (without a window manager wine waits a
# second for the window to go).
close_viewer() {
  alive
  xdotool key "${1:-Escape}"
  for _ in $(seq 100); do
    kill -0 "$viewer_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$viewer_pid" 2>/dev/null && fail "kl7view.exe still runs after ${1:-Escape}"
  local status=0
  wait "$viewer_pid" || status=$?
  viewer_pid=""
  [ "$status" -eq 0 ] || fail "kl7view.exe exited with status $status: $(cat viewer.log)"
  window=""
  for _ in $(seq 50); do
    [ -z "$(xdotool search --onlyvisible --name '^Bibliotheken 32 Bit-Version$' 2>/dev/null)" ] &&
      return 0
    sleep 0.1
  done
  fail "the window stays after the program ended"
}

# kl7view.exe's output holds the line $1 within a few seconds.
expect_logged() {
  for _ in $(seq 50); do
    tr -d '\r' <viewer.log | grep -qxF "$1" && return 0
    sleep 0.1
  done
  fail "kl7view.exe did not write '$1': $(cat viewer.log)"
}

# The clipboard's text once it equals $1, within a few seconds.
expect_clipboard() {
  local expected=$1 actual=""
  for _ in $(seq 100); do
    actual=$(timeout 2 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null || true)
    [ "$actual" = "$expected" ] && return 0
    sleep 0.1
  done
  fail "clipboard holds '$actual', expected '$expected'"
}

# shellcheck disable=SC1003 # a trailing backslash, not an escape
utils='host\utils\'
# shellcheck source=tests/e2e/scripted_sequence.sh
. "$here/scripted_sequence.sh"

# A library named at start-up that cannot be read: the window opens, and stderr says why.
start_viewer 'host\utils\KL705.DAT'
expect_logged 'kl7view: host\utils\KL705.DAT: cannot read the library: file not found (status 12)'
close_viewer

# Anything after a library file is ignored, --help too. The window is scaled for 192 dots per
# inch (wider than the 688 pixels of 96) and fits the screen.
start_viewer 'host\utils\KL701.DAT' --help
geometry=$(xdotool getwindowgeometry --shell "$window")
x=$(sed -n 's/^X=//p' <<<"$geometry")
y=$(sed -n 's/^Y=//p' <<<"$geometry")
width=$(sed -n 's/^WIDTH=//p' <<<"$geometry")
height=$(sed -n 's/^HEIGHT=//p' <<<"$geometry")
if ! { [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le "$screen_width" ] &&
  [ $((y + height)) -le "$screen_height" ]; }; then
  fail "the window (${width}x${height} at $x,$y) does not fit the ${screen_width}x$screen_height screen"
fi
[ "$width" -gt 900 ] || fail "the window (${width}x${height}) is not scaled for 192 dots per inch"

run_scripted_sequence

# F12 on the reference in entry 3 shows library 2 with entry 1 selected; Alt+Left goes back to
# entry 3 of library 1. Ctrl+W closes.
xdotool key --delay 50 Down F12 Return
expect_clipboard "Stahl verzinkt"
xdotool key --delay 50 alt+Left Return
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
close_viewer ctrl+w

# A directory starts on the catalogue of the utils directory in it; Ctrl+Q closes.
start_viewer host
sleep 0.8
xdotool type w
xdotool key Return
# Enter in library 2 with nothing selected: the error is reported in a message box, which Enter
# closes; the clipboard keeps what it held.
xdotool key Return
box=""
for _ in $(seq 50); do
  box=$(xdotool search --onlyvisible --name '^kl7view$' 2>/dev/null | head -n 1) || true
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no message box reported the error"
focus_window "$box" || fail "the message box did not take the focus"
sleep 0.5
xdotool key Return
for _ in $(seq 50); do
  [ -z "$(xdotool search --onlyvisible --name '^kl7view$' 2>/dev/null)" ] && break
  sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^kl7view$' 2>/dev/null)" ] ||
  fail "Enter did not close the message box"
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
focus_window "$window" || fail "the window did not take the focus"
sleep 0.5
alive
xdotool key --delay 50 Down Down Return
expect_clipboard "Stahl verzinkt"
# F1 opens the list of keys in a window of its own, which Esc closes.
xdotool key F1
keys=""
for _ in $(seq 50); do
  keys=$(xdotool search --onlyvisible --name '^Tasten$' 2>/dev/null | head -n 1) || true
  [ -n "$keys" ] && break
  sleep 0.1
done
[ -n "$keys" ] || fail "F1 opened no window of keys"
focus_window "$keys" || fail "the window of keys did not take the focus"
sleep 0.5
xdotool key Escape
for _ in $(seq 50); do
  [ -z "$(xdotool search --onlyvisible --name '^Tasten$' 2>/dev/null)" ] && break
  sleep 0.1
done
[ -z "$(xdotool search --onlyvisible --name '^Tasten$' 2>/dev/null)" ] ||
  fail "Esc did not close the window of keys"
focus_window "$window" || fail "the window did not take the focus"
sleep 0.5
close_viewer ctrl+q

# As in the Qt window's test, on a clipboard emptied first: Ctrl+F finds "stahl" in entry 3 of
# library 1 (the reference, resolved) and in entry 1 of library 2, searched in the background;
# once they are listed, the first is selected with the focus on the list, so Enter shows it; F3 the
# second. Shift+F12 lists where that one is used (entry 3 of library 1), which Enter shows; F3
# wraps around to the first match. Wine takes a second to hide a window without a window manager.
xclip -selection clipboard -i /dev/null
start_viewer host
xdotool key ctrl+f
sleep 1
xdotool type --delay 50 stahl
xdotool key Return
sleep 1.5
xdotool key Return
sleep 1.5
xdotool key --delay 100 F3 Return
expect_clipboard "Stahl verzinkt"
xdotool key shift+F12
sleep 1
xdotool key Return
sleep 1.5
xdotool key Return
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
xdotool key --delay 100 F3 Up Return
expect_clipboard "Zweite Zeile"
close_viewer

# From a reference: library 1 with entry 3 selected, found from a path inside the host's tree;
# Enter copies the entry, the right button goes back to the catalogue, where Enter opens library 1
# with nothing selected.
start_viewer 'LIB[1,3]' 'host\data\order.txt'
xdotool key Return
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
xdotool mousemove --window "$window" 100 120 click 3
sleep 0.3
xdotool key --delay 50 Return Down Down Return
expect_clipboard "Grüße – 5 €"
# Ctrl+O: the system's file dialog opens in the utils directory, where the name of library 2 alone
# finds it; the window starts anew on it with nothing selected: two Downs reach entry 1.
xdotool key ctrl+o
dialog=$(timeout 20 xdotool search --sync --onlyvisible --name '^Bibliothek.*ffnen$' |
  head -n 1) || fail "Ctrl+O opened no file dialog"
focus_window "$dialog" || fail "the file dialog did not take the focus"
sleep 1
xdotool type --delay 50 KL702.DAT
xdotool key Return
sleep 1.5
focus_window "$window" || fail "the window did not take the focus back"
sleep 0.5
xdotool key --delay 50 Down Down Return
expect_clipboard "Stahl verzinkt"
close_viewer

# In a copy of the directory, on a clipboard emptied first: entry 1 of library 2 is copied; its
# file replaced by rename with library 1's is read again by itself within 3 seconds, keeping entry 1
# selected, which Enter then copies from the new file.
cp -r host copy
xclip -selection clipboard -i /dev/null
start_viewer 'copy\utils\KL702.DAT'
xdotool key --delay 50 Down Down Return
expect_clipboard "Stahl verzinkt"
cp copy/utils/KL701.DAT copy/utils/new.tmp
mv copy/utils/new.tmp copy/utils/KL702.DAT
sleep 3
xdotool key Return
expect_clipboard "Grüße – 5 €"
close_viewer
echo "PASS"

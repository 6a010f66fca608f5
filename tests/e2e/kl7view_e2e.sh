#!/usr/bin/env bash
# End-to-end test of the real kl7view under Xvfb: start it on a library file, type keys into its
# window with xdotool, read the real X11 clipboard with xclip while the program runs, and check
# that Esc ends it with exit status 0.
# Usage: kl7view_e2e.sh <kl7view> <make_e2e_utils>
set -euo pipefail
set -f  # no file-name patterns: LIB[3,12] is an argument, not a pattern

viewer=$1
make_utils=$2
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

# Unusable argument lists end the program at once with status 0, before any window exists: with
# no display to connect to, creating the application would fail.
for arguments in "" "a b c" "KL7G1.DAT" "LIB[3,12]" "LIB[3,12] Y.DAT"; do
  status=0
  # shellcheck disable=SC2086  # the arguments are meant to split
  env -u DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$viewer" $arguments >"$work/early.log" 2>&1 ||
    status=$?
  [ "$status" -eq 0 ] || fail "kl7view '$arguments' exited with status $status"
  [ ! -s "$work/early.log" ] || fail "kl7view '$arguments' printed: $(cat "$work/early.log")"
done

# Xvfb picks a free display itself and writes its number to the given descriptor.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb reported no display"
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb

"$viewer" "$work/host/utils/KL701.DAT" >"$work/viewer.log" 2>&1 &
viewer_pid=$!

window=$(timeout 30 xdotool search --sync --name '^Bibliotheken 32 Bit-Version$' | head -n 1) ||
  fail "the window did not appear"
[ -n "$window" ] || fail "the window did not appear"
# There is no window manager: give the window the focus directly.
timeout 30 xdotool windowfocus --sync "$window" || fail "the window did not take the focus"

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

alive() {
  kill -0 "$viewer_pid" 2>/dev/null || fail "kl7view ended early: $(cat "$work/viewer.log")"
}

# Inside library 1: the first Down selects line 0, the second entry 1; Enter copies it.
xdotool key --delay 50 Down Down Return
expect_clipboard "Grüße – 5 €"
alive

# Shift+Enter goes back to the catalogue with line 1 selected; Enter opens library 1 again, where
# nothing is selected: four Downs reach the reference in entry 3, and Enter copies it resolved.
xdotool key --delay 50 shift+Return Return
alive
xdotool key --delay 50 Down Down Down Down Return
expect_clipboard "LIB[2,1] ---> Stahl verzinkt"
alive

xdotool key Escape
for _ in $(seq 100); do
  kill -0 "$viewer_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$viewer_pid" 2>/dev/null && fail "kl7view still runs after Esc"
status=0
wait "$viewer_pid" || status=$?
viewer_pid=""
[ "$status" -eq 0 ] || fail "kl7view exited with status $status: $(cat "$work/viewer.log")"
echo "PASS"

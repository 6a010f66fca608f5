#!/bin/sh
# window_open on a real X server: the same measurement as on the offscreen platform, with the
# window drawn through the xcb platform into an Xvfb display started for the purpose.
# Usage: bench/window_open_xvfb.sh <build dir> [runs]
set -eu
build=${1:?usage: window_open_xvfb.sh <build dir> [runs]}
runs=${2:-9}
bench="$build/bench/window_open"
[ -x "$bench" ] || {
  echo "build the window_open target first" >&2
  exit 2
}
command -v Xvfb >/dev/null || {
  echo "Xvfb is not installed" >&2
  exit 2
}

display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    display=$n
    break
  fi
done
[ -n "$display" ] || {
  echo "no free display number" >&2
  exit 2
}
Xvfb ":$display" -noreset -screen 0 1280x1024x24 >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
tries=0
until [ -e "/tmp/.X11-unix/X$display" ]; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || {
    echo "Xvfb did not start" >&2
    exit 1
  }
  sleep 0.1
done

DISPLAY=":$display" QT_QPA_PLATFORM=xcb "$bench" "$runs"

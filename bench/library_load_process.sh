#!/bin/sh
# Whole-process timing of the loader: loading a 65,535-entry library in each layout and format, and
# loading a library of 65,535 references into one of them, against cat of the files each load
# reads. Prints the median wall time of several runs (after one warm-up).
# Usage: bench/library_load_process.sh <build dir> [runs]
set -eu
build=${1:?usage: library_load_process.sh <build dir> [runs]}
runs=${2:-9}
load="$build/bench/library_load_process"
tool="$build/bench/kl7_whole_process"
[ -x "$load" ] && [ -x "$tool" ] || {
  echo "build the library_load_process and kl7_whole_process targets first" >&2
  exit 2
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kl7-load.XXXXXX")
trap 'rm -rf "$dir"' EXIT

"$load" write "$dir"
# The record manager reads a file changed within the last two seconds twice (until two reads agree)
# and a settled one once: the files must settle first.
sleep 3

time_ms() { "$tool" time "$runs" "$@"; }
row() { # label, cat ms, load ms
  awk -v l="$1" -v c="$2" -v k="$3" 'BEGIN { printf "%-38s %8.1f %8.1f %7.1f\n", l, c, k, k / c }'
}

printf '%-38s %8s %8s %7s\n' load "cat ms" "load ms" ratio
row "(a) current layout, 6.x" "$(time_ms cat "$dir/KL701.DAT")" "$(time_ms "$load" load "$dir" 1)"
row "(a) current layout, pre-6.0" "$(time_ms cat "$dir/KL702.DAT")" "$(time_ms "$load" load "$dir" 2)"
row "(a) older layout, pre-6.0" "$(time_ms cat "$dir/KL703.DAT")" "$(time_ms "$load" load "$dir" 3)"
row "(a) older layout, 6.x" "$(time_ms cat "$dir/KL704.DAT")" "$(time_ms "$load" load "$dir" 4)"
row "(b) 65,535 references into library 1" "$(time_ms cat "$dir/KL705.DAT" "$dir/KL701.DAT")" \
  "$(time_ms "$load" load "$dir" 5)"

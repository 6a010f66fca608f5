#!/bin/sh
# Times Open plus Get Equal for every record of a 65,535-record file (record length 128, page 4096)
# in a fresh process, for both formats, against cat of the same file; prints the median of several
# runs of each. Usage: bench/whole_process_read.sh <build dir> [runs]
set -eu
build=${1:?usage: whole_process_read.sh <build dir> [runs]}
runs=${2:-9}
tool="$build/bench/whole_process_read"
[ -x "$tool" ] || { echo "build the whole_process_read target first" >&2; exit 2; }
dir=$(mktemp -d "${TMPDIR:-/tmp}/kl7-whole-process.XXXXXX")
trap 'rm -rf "$dir"' EXIT

now_ns() { date +%s%N; }

# Median of the numbers on stdin.
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Runs "$@" $runs times (after one warm-up) and prints the median wall time in milliseconds. With
# touch=1 the file (the last argument) is touched before each run, outside the timing.
touch=0
time_ms() {
  "$@" > /dev/null
  i=0
  while [ "$i" -lt "$runs" ]; do
    if [ "$touch" = 1 ]; then
      for last; do :; done
      touch "$last"
    fi
    start=$(now_ns)
    "$@" > /dev/null
    end=$(now_ns)
    echo $(( (end - start) / 1000 ))
    i=$((i + 1))
  done | median | awk '{ printf "%.2f", $1 / 1000 }'
}

for format in pre6 v6; do
  "$tool" write "$dir/$format.dat" "$format" 65535 128 4096
done
# A file that has not changed for two seconds is read once; one changed just before (the host may
# be writing it) is read until two reads agree. Both roads are timed.
sleep 3
printf '%-6s %10s %8s %16s %6s %16s %6s\n' format bytes "cat ms" "settled: ms" ratio \
  "changed: ms" ratio
for format in pre6 v6; do
  file="$dir/$format.dat"
  bytes=$(wc -c < "$file")
  touch=0
  cat_ms=$(time_ms cat "$file")
  mapped_ms=$(time_ms "$tool" read "$file")
  touch=1
  copied_ms=$(time_ms "$tool" read "$file")
  mapped_ratio=$(awk -v a="$mapped_ms" -v b="$cat_ms" 'BEGIN { printf "%.2f", a / b }')
  copied_ratio=$(awk -v a="$copied_ms" -v b="$cat_ms" 'BEGIN { printf "%.2f", a / b }')
  printf '%-6s %10s %8s %16s %6s %16s %6s\n' "$format" "$bytes" "$cat_ms" "$mapped_ms" \
    "$mapped_ratio" "$copied_ms" "$copied_ratio"
  sleep 3  # let the touched file settle again
done

#!/bin/sh
# Whole-process timing of `kl7 records --raw` (every record of a file in key order) against cat of
# the same file: 65,535 records of 128 bytes, page 4096, in both formats, stored in key order and
# shuffled, key 0 an INTEGER and (the "string" files) a STRING of 16 bytes; two small files shaped
# like genuine ones; and every genuine file given. Prints the median wall and processor times of
# several runs and, for the shuffled 6.x file, kl7's peak resident memory.
# Usage: bench/kl7_records.sh <build dir> [runs] [genuine file...]
set -eu
build=${1:?usage: kl7_records.sh <build dir> [runs] [genuine file...]}
runs=${2:-9}
[ $# -ge 2 ] && shift 2 || shift $#
kl7="$build/cli/kl7"
tool="$build/bench/kl7_whole_process"
writer="$build/bench/whole_process_read"
[ -x "$kl7" ] && [ -x "$tool" ] && [ -x "$writer" ] || {
  echo "build the kl7, kl7_whole_process and whole_process_read targets first" >&2
  exit 2
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kl7-records.XXXXXX")
trap 'rm -rf "$dir"' EXIT

for format in pre6 v6; do
  "$writer" write "$dir/$format-ordered.dat" "$format" 65535 128 4096
  "$writer" write "$dir/$format-shuffled.dat" "$format" 65535 128 4096 shuffled
  "$writer" write "$dir/$format-string-ordered.dat" "$format" 65535 128 4096 string
  "$writer" write "$dir/$format-string-shuffled.dat" "$format" 65535 128 4096 shuffled string
done
# Small files shaped like two genuine ones: 6,152 records of 60 bytes in a pre-6.0 file, and 73 of
# 950 bytes in a 6.x file, where starting the process weighs most.
"$writer" write "$dir/pre6-6152x60.dat" pre6 6152 60 1024
"$writer" write "$dir/v6-73x950.dat" v6 73 950 4096

# The record manager reads a file changed within the last two seconds twice (until two reads agree)
# and a settled one once: the files must settle first.
sleep 3
# Wall time, and processor time (user and system) which the machine's other work disturbs less.
printf '%-28s %10s %8s %8s %7s %8s %8s %7s\n' file bytes "cat ms" "kl7 ms" ratio "cat cpu" \
  "kl7 cpu" ratio
for file in "$dir"/pre6-ordered.dat "$dir"/pre6-shuffled.dat "$dir"/v6-ordered.dat \
  "$dir"/v6-shuffled.dat "$dir"/pre6-string-ordered.dat "$dir"/pre6-string-shuffled.dat \
  "$dir"/v6-string-ordered.dat "$dir"/v6-string-shuffled.dat "$dir"/pre6-6152x60.dat \
  "$dir"/v6-73x950.dat "$@"; do
  cat_ms=$("$tool" time "$runs" cat "$file")
  kl7_ms=$("$tool" time "$runs" "$kl7" records --raw "$file")
  cat_cpu=$("$tool" cpu "$runs" cat "$file")
  kl7_cpu=$("$tool" cpu "$runs" "$kl7" records --raw "$file")
  awk -v f="$(basename "$file")" -v b="$(wc -c < "$file")" -v c="$cat_ms" -v k="$kl7_ms" \
    -v cc="$cat_cpu" -v kc="$kl7_cpu" \
    'BEGIN { printf "%-28s %10d %8.2f %8.2f %7.2f %8.2f %8.2f %7.2f\n", f, b, c, k, k / c, cc, kc, kc / cc }'
done
printf 'peak memory of kl7 records --raw on v6-shuffled.dat: %s KiB\n' \
  "$("$tool" peak "$kl7" records --raw "$dir/v6-shuffled.dat")"

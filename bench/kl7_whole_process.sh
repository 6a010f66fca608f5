#!/bin/sh
# Whole-process timing of kl7 as a script sees it: `kl7 export` of 256 libraries of 1,000 entries
# (and refs --all, export --format html and --detail, find in each of its modes, and diff on them) and `kl7 dump` of one
# 65,535-entry library (every 10th entry a reference), against cat of the files each command reads.
# Prints the median wall time of several runs (after one warm-up).
# Usage: bench/kl7_whole_process.sh <build dir> [runs]
set -eu
build=${1:?usage: kl7_whole_process.sh <build dir> [runs]}
runs=${2:-7}
kl7="$build/cli/kl7"
tool="$build/bench/kl7_whole_process"
[ -x "$kl7" ] && [ -x "$tool" ] || {
  echo "build the kl7 and kl7_whole_process targets first" >&2
  exit 2
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kl7-bench.XXXXXX")
trap 'rm -rf "$dir"' EXIT

# The median wall time of "$@" in milliseconds, from fork to exit, output to /dev/null.
time_ms() { "$tool" time "$runs" "$@"; }

"$tool" write "$dir/many" "$dir/large"
# A file changed within the last two seconds is read twice (until two reads agree); one that has
# settled is read once.
sleep 3

bytes() { cat "$@" | wc -c; }
row() { # label, cat ms, kl7 ms, bytes in, bytes out
  awk -v l="$1" -v c="$2" -v k="$3" -v i="$4" -v o="$5" \
    'BEGIN { printf "%-34s %10d %10d %9.1f %9.1f %7.1f\n", l, i, o, c, k, k / c }'
}

printf '%-34s %10s %10s %9s %9s %7s\n' command "bytes in" "bytes out" "cat ms" "kl7 ms" ratio
many_files=$(ls "$dir"/many/KL7*.DAT)
# shellcheck disable=SC2086
cat_many=$(time_ms cat $many_files)
# shellcheck disable=SC2086
in_many=$(bytes $many_files)
for format in text csv json table; do
  out=$("$kl7" export "$dir/many" --format "$format" | wc -c)
  row "export 256x1000 --format $format" "$cat_many" \
    "$(time_ms "$kl7" export "$dir/many" --format "$format")" "$in_many" "$out"
done
out=$("$kl7" export "$dir/many" --no-resolve | wc -c)
row "export 256x1000 --no-resolve" "$cat_many" \
  "$(time_ms "$kl7" export "$dir/many" --no-resolve)" "$in_many" "$out"
# What the plain export (text) costs is the measure for these: each should stay within 5 times it.
for command in "refs --all" "export --format html" "export --detail"; do
  # shellcheck disable=SC2086
  out=$("$kl7" $command "$dir/many" | wc -c)
  # shellcheck disable=SC2086
  row "$command 256x1000" "$cat_many" "$(time_ms "$kl7" $command "$dir/many")" "$in_many" "$out"
done
# find: substrings, German folding and a regular expression, each matching some entries (the
# regular expression is matched in libstdc++'s polynomial mode: linear, but several times slower).
for command in "find zubehör" "find --umlaut zubehoer" "find --regex ^eintrag.1[0-9]*.der"; do
  # shellcheck disable=SC2086
  out=$("$kl7" $command "$dir/many" | wc -c)
  # shellcheck disable=SC2086
  row "$command 256x1000" "$cat_many" "$(time_ms "$kl7" $command "$dir/many")" "$in_many" "$out"
done
whole=$("$kl7" dump "$dir/many" 1 | head -n 1 | cut -f 2 | tr '[:lower:]' '[:upper:]')
out=$("$kl7" find --exact "$whole" "$dir/many" | wc -c)
row "find --exact (one text) 256x1000" "$cat_many" \
  "$(time_ms "$kl7" find --exact "$whole" "$dir/many")" "$in_many" "$out"
out=$("$kl7" diff "$dir/many" "$dir/many" | wc -c)
row "diff 256x1000 itself" "$cat_many" "$(time_ms "$kl7" diff "$dir/many" "$dir/many")" \
  "$in_many" "$out"

cat_large=$(time_ms cat "$dir/large/KL702.DAT" "$dir/large/KL701.DAT")
in_large=$(bytes "$dir/large/KL702.DAT" "$dir/large/KL701.DAT")
for format in text json; do
  out=$("$kl7" dump "$dir/large" 2 --format "$format" | wc -c)
  row "dump 65535 --format $format" "$cat_large" \
    "$(time_ms "$kl7" dump "$dir/large" 2 --format "$format")" "$in_large" "$out"
done
out=$("$kl7" dump "$dir/large" 2 --no-resolve | wc -c)
row "dump 65535 --no-resolve" "$cat_large" "$(time_ms "$kl7" dump "$dir/large" 2 --no-resolve)" \
  "$in_large" "$out"

# 65,535 references, one to each entry of the library above: measured against its plain dump.
plain_ms=$(time_ms "$kl7" dump "$dir/large" 2)
refs_ms=$(time_ms "$kl7" dump "$dir/large" 3)
awk -v p="$plain_ms" -v r="$refs_ms" \
  'BEGIN { printf "dump of 65535 references into it: %.1f ms, %.2f x its plain dump (%.1f ms)\n", r, r / p, p }'

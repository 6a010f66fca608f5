#!/bin/sh
# Wall time and peak memory of kl7 (and, when it is built, of kl7view on Qt's offscreen platform,
# ended after a few seconds) on crafted and damaged inputs: memory amplification by references, many
# references into a damaged or a missing library, records whose fragment chains all share one
# chain, an index 100,000 pages deep, a gigabyte of zeros (sparse) dated tomorrow, a three-entry 6.x
# library with a sparse tail to just under 4 GiB, the html export, and check against export on 256
# libraries of cross-references.
# Usage: bench/hostile_files.sh <build dir>
set -eu
build=${1:?usage: hostile_files.sh <build dir>}
kl7="$build/cli/kl7"
viewer="$build/app/kl7view"
[ -x "$kl7" ] && [ -x "$build/bench/hostile_files" ] && [ -x /usr/bin/time ] || {
  echo "build the kl7 and hostile_files targets first (and install GNU time)" >&2
  exit 2
}
dir=$(mktemp -d "${TMPDIR:-/tmp}/kl7-hostile.XXXXXX")
trap 'rm -rf "$dir"' EXIT
"$build/bench/hostile_files" write "$dir"
truncate -s 1G "$dir/zeros.DAT"
truncate -s $((4 * 1024 * 1024 * 1024 - 4096)) "$dir/sparse/KL700.DAT"
touch -d tomorrow "$dir/zeros.DAT"
bytes() { du -b --apparent-size -c "$@" | tail -n 1 | cut -f 1; }

printf '%-44s %14s %10s %12s\n' case "file bytes" seconds "peak KiB"
row() { # label, bytes, command...
  label=$1
  size=$2
  shift 2
  /usr/bin/time -f '%e %M' -o "$dir/time" "$@" > /dev/null 2>&1 || true
  # The last line holds the figures (a line before it may say how the command ended).
  seconds=$(tail -n 1 "$dir/time" | cut -d' ' -f 1)
  peak=$(tail -n 1 "$dir/time" | cut -d' ' -f 2)
  printf '%-44s %14s %10s %12s\n' "$label" "$size" "$seconds" "$peak"
}
amplify=$(bytes "$dir"/amplify/*.DAT)
row "dump: 65,535 x LIB[1,1] into 4,073 bytes" "$amplify" "$kl7" dump "$dir/amplify" 0
row "export: the same" "$amplify" "$kl7" export "$dir/amplify"
row "find: the same" "$amplify" "$kl7" find T "$dir/amplify"
row "export --format html: the same" "$amplify" sh -c '"$1" export --format html "$2" > "$3"' \
  sh "$kl7" "$dir/amplify" "$dir/page.html"
printf '%-44s %14s\n' "  (the page's bytes)" "$(bytes "$dir/page.html")"
row "dump: 65,535 refs into a damaged file" "$(bytes "$dir"/damaged/*.DAT)" \
  "$kl7" dump "$dir/damaged" 0
row "dump: 65,535 refs into a missing file" "$(bytes "$dir"/missing/KL700.DAT)" \
  "$kl7" dump "$dir/missing" 0
row "records: 8,000 chains sharing one" "$(bytes "$dir"/shared/SHARED.DAT)" \
  "$kl7" records "$dir/shared/SHARED.DAT"
row "verify: an index 100,000 pages deep" "$(bytes "$dir"/deep/DEEP.DAT)" \
  "$kl7" verify "$dir/deep/DEEP.DAT"
web=$(bytes "$dir"/web/*.DAT)
row "export: 256 libraries x 4,096 cross-refs" "$web" "$kl7" export "$dir/web"
row "check: the same" "$web" "$kl7" check "$dir/web"
row "info: 1 GiB of zeros dated tomorrow" "$(bytes "$dir/zeros.DAT")" "$kl7" info "$dir/zeros.DAT"
sparse=$(bytes "$dir/sparse/KL700.DAT")
for verb in info dump records list check export; do
  case $verb in
    info | records) target="$dir/sparse/KL700.DAT" ;;
    *) target="$dir/sparse" ;;
  esac
  row "$verb: 3 entries, sparse tail to 4 GiB" "$sparse" "$kl7" "$verb" "$target"
done
if [ -x "$viewer" ]; then
  row "kl7view: the same (offscreen)" "$sparse" \
    env QT_QPA_PLATFORM=offscreen timeout -s INT 4 "$viewer" "$dir/sparse/KL700.DAT"
  row "kl7view: the catalogue of 65,535 x LIB[1,1]" "$amplify" \
    env QT_QPA_PLATFORM=offscreen timeout -s INT 4 "$viewer" "$dir/amplify/KL700.DAT"
fi

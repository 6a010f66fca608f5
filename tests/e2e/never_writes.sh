#!/usr/bin/env bash
# Proves that kl7 and kl7view never write to a library directory: every kl7 verb (in several
# formats) and a kl7view session under Xvfb (open a library from the catalogue, move, go back,
# copy, close) run under strace -f on a copy of the sample libraries whose files have mode 0444 in a
# directory of mode 0555, as an unprivileged user when the test runs as root. The test fails on any
# attempt to open a file there for writing, to create, rename, remove, truncate or link one, or to
# change a mode, owner, time or attribute; on output that differs from the same command on the
# writable original; and when a file's bytes, size, mode, modification or change time differ
# afterwards. Skipped (77) when strace, Xvfb, xdotool or xclip is missing, or when strace cannot
# trace here.
# Usage: never_writes.sh <kl7> <kl7view> <sample utils directory>
set -euo pipefail

kl7_built=$1
viewer_built=$2
samples=$3
skip=77

for tool in strace Xvfb xdotool xclip sha256sum; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed"
    exit "$skip"
  fi
done
if ! strace -f -o /dev/null true 2>/dev/null; then
  echo "SKIP: strace cannot trace in this environment"
  exit "$skip"
fi

work=$(mktemp -d)
xvfb_pid=""
viewer_pid=""
cleanup() {
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then kill "$viewer_pid"; fi
  if [ -n "$xvfb_pid" ] && kill -0 "$xvfb_pid" 2>/dev/null; then kill "$xvfb_pid"; fi
  chmod -R u+w "$work" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  exit 1
}

# As root, the programs run as nobody, so that the modes are what stops a write; otherwise as the
# current user.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  command -v setpriv >/dev/null 2>&1 || {
    echo "SKIP: setpriv is not installed"
    exit "$skip"
  }
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi

# Everything the programs need lies in the work folder, readable by everyone: the programs
# themselves (the build folder may not be), a home folder of their own, and the libraries.
chmod 0755 "$work"
mkdir -p "$work/bin" "$work/home" "$work/host/data" "$work/out"
cp "$kl7_built" "$work/bin/kl7"
cp "$viewer_built" "$work/bin/kl7view"
chmod 0755 "$work/bin/kl7" "$work/bin/kl7view"
chmod 0777 "$work/home" "$work/out"
kl7=$work/bin/kl7
viewer=$work/bin/kl7view
utils=$work/host/utils
cp -R "$samples" "$utils"
ls "$utils"/KL7*.DAT >/dev/null 2>&1 || fail "no sample libraries in $samples"
chmod 0444 "$utils"/*
chmod 0555 "$utils" "$work/host"

# What must not change: each file's bytes, size, mode, modification and change time, and the
# directory's listing and times (access times are the kernel's business and are left out).
snapshot() {
  (
    cd "$utils"
    stat -c '%n %s %a %i %y %z' . ./*
    sha256sum ./*
  )
}
snapshot >"$work/before"

# The calls that create, write, rename, remove or change a file, by path (or by a directory
# descriptor and a path) and by descriptor. With strace -y, descriptors are shown with their paths.
path_calls='creat|rename|renameat|renameat2|unlink|unlinkat|rmdir|mkdir|mkdirat|mknod|mknodat|link'
path_calls+='|linkat|symlink|symlinkat|truncate|chmod|fchmodat|chown|lchown|fchownat|utime|utimes'
path_calls+='|utimensat|futimesat|setxattr|lsetxattr|removexattr|lremovexattr'
fd_calls='ftruncate|fallocate|fchmod|fchown|fsetxattr|fremovexattr|write|pwrite64|writev|pwritev'
fd_calls+='|pwritev2|copy_file_range|sendfile|futimens'
traced_calls="open,openat,openat2,${path_calls//|/,},${fd_calls//|/,}"
traced_calls=${traced_calls//,futimens/}  # a library function over utimensat, no call of its own
host=${work//./\\.}/host

# Fails when the strace log $1 shows a call that would change something under the host folder.
check_trace() {
  local log=$1 what=$2 hits
  hits=$(grep -E \
    -e "^[0-9]+ +(open|openat|openat2)\\(.*$host.*(O_WRONLY|O_RDWR|O_CREAT|O_TRUNC|O_APPEND)" \
    -e "^[0-9]+ +($path_calls)\\(.*(\"|<)$host" \
    -e "^[0-9]+ +($fd_calls)\\([0-9]+<$host" \
    "$log" || true)
  [ -z "$hits" ] || fail "$what touched the library directory:"$'\n'"$hits"
  grep -qE "^[0-9]+ +(open|openat)\\(.*$host/utils/KL7" "$log" ||
    fail "the trace of $what shows no library file opened"
}

traced=0
# Runs kl7 with the given arguments twice: on the writable original as the current user, and under
# strace on the read-only copy as the unprivileged user; the outputs must agree (with the folder
# names swapped) and the exit status must be 0, or 1 for check, which reports the samples' marked
# entries.
run_kl7() {
  local n=$((traced += 1)) status=0 expected_status=0
  [ "$1" = check ] && expected_status=1
  "$kl7_built" "${@//@/$samples}" >"$work/out/original-$n" 2>&1 || status=$?
  [ "$status" -eq "$expected_status" ] || fail "kl7 $* on the original exited with $status"
  status=0
  (cd "$work/out" && exec strace -f -qq -y -s 4096 -o "$work/out/kl7-$n.trace" \
    -e trace="$traced_calls" "${as_user[@]}" env HOME="$work/home" "$kl7" "${@//@/$utils}") \
    >"$work/out/copy-$n" 2>&1 || status=$?
  [ "$status" -eq "$expected_status" ] ||
    fail "kl7 $* on the read-only copy exited with $status: $(head -c 2000 "$work/out/copy-$n")"
  cmp -s <(sed "s#$samples#@#g" "$work/out/original-$n") <(sed "s#$utils#@#g" "$work/out/copy-$n") ||
    fail "kl7 $* shows something else on the read-only copy: $(head -c 2000 "$work/out/copy-$n")"
  check_trace "$work/out/kl7-$n.trace" "kl7 $*"
}

run_kl7 info @/KL700.DAT @/KL702.DAT @/KL705.DAT
run_kl7 info --format json @/KL706.DAT
run_kl7 list @
run_kl7 list --format csv @
run_kl7 dump @ 6
run_kl7 dump --format jsonl @/KL706.DAT
run_kl7 dump --no-resolve --format tsv @ 2
run_kl7 export @
run_kl7 export --format json --encoding utf-8 @
run_kl7 find farbe @
run_kl7 find --format csv --encoding cp1252 LIB @
run_kl7 check @
run_kl7 check --format jsonl @/KL701.DAT @/KL706.DAT
run_kl7 records @/KL700.DAT
run_kl7 records --raw @/KL705.DAT
run_kl7 verify @/KL700.DAT @/KL702.DAT @/KL705.DAT

# The window: Xvfb picks a free display itself and writes its number to the given descriptor.
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

# Started on library 6 (references into other libraries); shift+Return goes back to the catalogue
# with its line selected, Return opens it from there.
(cd "$work/out" && exec strace -f -qq -y -s 4096 -o "$work/out/kl7view.trace" -e trace="$traced_calls" \
  "${as_user[@]}" env HOME="$work/home" XDG_RUNTIME_DIR="$work/home" "$viewer" "$utils/KL706.DAT") \
  >"$work/viewer.log" 2>&1 &
viewer_pid=$!

window=$(timeout 60 xdotool search --sync --name '^Bibliotheken 32 Bit-Version$' | head -n 1) ||
  fail "the window did not appear: $(cat "$work/viewer.log")"
[ -n "$window" ] || fail "the window did not appear"
# Under strace and the sanitizers the window may be found before it is mapped: ask again until it
# takes the focus.
focused=no
for _ in $(seq 12); do
  if timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null; then
    focused=yes
    break
  fi
  sleep 0.5
done
[ "$focused" = yes ] || fail "the window did not take the focus"

alive() {
  kill -0 "$viewer_pid" 2>/dev/null || fail "kl7view ended early: $(cat "$work/viewer.log")"
}

# The clipboard's text once it starts with $1, within a few seconds.
expect_clipboard() {
  local expected=$1 actual=""
  for _ in $(seq 100); do
    actual=$(timeout 2 xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null || true)
    [[ "$actual" == "$expected"* ]] && return 0
    sleep 0.1
  done
  fail "clipboard holds '$actual', expected '$expected...'"
}

xdotool key --delay 50 shift+Return Return
alive
# Entry 1, then entry 2 (LIB[4,2], resolved from another library), copied with Enter; down to the
# end and back up; then back to the catalogue and close.
xdotool key --delay 50 Down Down Down Return
expect_clipboard "LIB[4,2] ---> "
alive
xdotool key --delay 50 End Page_Up Home Down shift+Return
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
check_trace "$work/out/kl7view.trace" "kl7view"

snapshot >"$work/after"
diff "$work/before" "$work/after" >"$work/changes" || fail "the library files changed:"$'\n'"$(cat "$work/changes")"
echo "PASS: $traced kl7 runs and one kl7view session left the read-only libraries untouched"

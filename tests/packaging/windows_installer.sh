#!/usr/bin/env bash
# The Windows installer under wine: msiexec installs it silently for the machine; kl7view.exe,
# kl7.exe, the licence and the manual pages are in Program Files\kl7view, the Start menu has the
# shortcut and the installed programs list the entry; both programs run from there (kl7view.exe
# opens its window on $DISPLAY and closes on Esc); msiexec removes it silently, and afterwards no
# file of the prefix and no registry key names it any more.
# Usage: windows_installer.sh <kl7view-VERSION-x64.msi> <utils directory>
# Runs wine in $WINEPREFIX (which the caller sets up, with a wine server whose desktop is on
# $DISPLAY).
set -euo pipefail
set -f

msi=$(realpath "$1")
utils=$(realpath "$2")
version=$(basename "$msi" | sed -n 's/^kl7view-\(.*\)-x64\.msi$/\1/p')
[ -n "$version" ] || { echo "FAIL: $msi is not named kl7view-VERSION-x64.msi"; exit 1; }
: "${WINEPREFIX:?WINEPREFIX must name the wine prefix}"
# No menu entries on the machine for the Start-menu shortcut.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winemenubuilder.exe=d"
export WINEDEBUG=-all

fail() {
  echo "FAIL: $*"
  exit 1
}

# shellcheck source=tests/e2e/focus_window.sh
. "$(dirname "$0")/../e2e/focus_window.sh"

work=$(mktemp -d)
viewer_pid=""
cleanup() {
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then kill "$viewer_pid"; fi
  rm -rf "$work"
}
trap cleanup EXIT

drive=$WINEPREFIX/drive_c
folder=$drive/"Program Files"/kl7view
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
msi_windows=$(winepath -w "$msi" 2>/dev/null)

# What names kl7view: files and folders of the prefix, and registry entries.
traces() {
  (cd "$drive" && find . -iname '*kl7*' | sort)
  local key
  for key in 'HKLM\Software' 'HKCU\Software'; do
    rm -f "$work/export.reg"
    wine reg export "$key" "$(winepath -w "$work/export.reg" 2>/dev/null)" /y >/dev/null 2>&1 ||
      fail "reg export $key failed"
    iconv -f UTF-16 -t UTF-8 "$work/export.reg" | tr -d '\r' | grep -i 'kl7' || true
  done
}
[ ! -e "$folder" ] || fail "kl7view is installed already: $folder"
traces >"$work/before.txt"

echo "== install"
wine msiexec /i "$msi_windows" /qn || fail "msiexec /i exited with status $?"
for file in kl7view.exe kl7.exe License.txt kl7view.txt kl7.txt; do
  [ -s "$folder/$file" ] || fail "$file is not installed"
done
[ "$(find "$folder" -type f | wc -l)" -eq 5 ] || fail "more files installed: $(ls "$folder")"
grep -q 'Permission is hereby granted' "$folder/License.txt" || fail "License.txt holds no licence"
grep -q 'KL7VIEW(1)' "$folder/kl7view.txt" || fail "kl7view.txt is no manual page"
# The all-users Start menu on Windows; wine puts the shortcut into the user's.
shortcuts=$(cd "$drive" && find ProgramData users -path '*Start Menu/Programs/kl7view.lnk' | wc -l)
[ "$shortcuts" -eq 1 ] || fail "no Start-menu shortcut kl7view.lnk"
entry=""
while read -r key; do
  if wine reg query "$key" /v DisplayName 2>/dev/null | tr -d '\r' | grep -q 'REG_SZ[[:space:]]*kl7view$'; then
    entry=$key
  fi
done < <(wine reg query "$uninstall" 2>/dev/null | tr -d '\r' | grep -i '^HKEY')
[ -n "$entry" ] || fail "no entry among the installed programs"
wine reg query "$entry" /v DisplayVersion | tr -d '\r' | grep -q "REG_SZ[[:space:]]*$version$" ||
  fail "the entry does not name version $version"

echo "== run the installed programs"
cd "$work"
cp -r "$utils" utils
[ "$(wine "C:\\Program Files\\kl7view\\kl7.exe" --version)" = "kl7 $version" ] ||
  fail "the installed kl7.exe does not run"
wine "C:\\Program Files\\kl7view\\kl7.exe" list utils >list.txt || fail "kl7.exe list failed"
grep -q "KL702.DAT" list.txt || fail "kl7.exe list: $(cat list.txt)"
[ "$(wine "C:\\Program Files\\kl7view\\kl7view.exe" --version)" = "kl7view $version" ] ||
  fail "the installed kl7view.exe does not run"
wine "C:\\Program Files\\kl7view\\kl7view.exe" 'utils\KL700.DAT' >viewer.log 2>&1 &
viewer_pid=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --name '^Bibliotheken 32 Bit-Version$' 2>/dev/null |
    head -n 1) || true
  [ -n "$window" ] && break
  kill -0 "$viewer_pid" 2>/dev/null || fail "the installed kl7view.exe ended: $(cat viewer.log)"
  sleep 0.1
done
[ -n "$window" ] || fail "the installed kl7view.exe opened no window"
focus_window "$window" || fail "the window did not take the focus"
sleep 0.5
xdotool key Escape
status=0
for _ in $(seq 100); do
  kill -0 "$viewer_pid" 2>/dev/null || break
  sleep 0.1
done
wait "$viewer_pid" || status=$?
viewer_pid=""
[ "$status" -eq 0 ] || fail "the installed kl7view.exe exited with status $status"

echo "== remove"
wine msiexec /x "$msi_windows" /qn || fail "msiexec /x exited with status $?"
[ ! -e "$folder" ] || fail "Program Files\\kl7view is left: $(ls -A "$folder")"
traces >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >&2 || fail "removing kl7view left the traces above"
echo "PASS"

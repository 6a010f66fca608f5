#!/usr/bin/env bash
# Completes command lines of kl7 with its bash completion and compares the offers, one case a row.
# Usage: kl7_completion_test.sh <completion file>
set -uo pipefail
# shellcheck source=/dev/null
source "$1" || exit 1
compopt() { :; }  # only valid inside a real completion; the offers are what is checked here

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/utils" "$dir/utils/sub"
touch "$dir/utils/KL700.DAT" "$dir/utils/KL71A.DAT" "$dir/utils/kl70f.dat" "$dir/utils/KL7ZZ.DAT" \
      "$dir/utils/notes.txt"
cd "$dir" || exit 1

failures=0
# check '<command line, the cursor at its end>' '<offers, sorted, space-separated>'
check() {
  local line=$1 expected=$2
  # Split as readline does: blanks separate words, and "=" is a word of its own.
  local spaced=${line//=/ = }
  read -r -a COMP_WORDS <<<"$spaced"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line
  COMP_POINT=${#line}
  COMPREPLY=()
  _kl7
  local actual
  actual=$(printf '%s\n' "${COMPREPLY[@]}" | sed '/^$/d' | sort | tr '\n' ' ' | sed 's/ $//')
  if [[ $actual != "$expected" ]]; then
    echo "FAIL: '$line': offered '$actual', expected '$expected'"
    failures=$((failures + 1))
  fi
}

check 'kl7 ' 'check diff dump export find info list records refs verify'
check 'kl7 d' 'diff dump'
check 'kl7 --' '--help --version'
check 'kl7 records --' '--help --raw --version'
check 'kl7 dump --no-' '--no-header --no-resolve'
check 'kl7 list --format ' 'csv json jsonl text tsv'
check 'kl7 list --format=js' 'json jsonl'
check 'kl7 list --encoding ' 'cp1252 utf-8'
check 'kl7 list u' 'utils'
check 'kl7 list utils ' ''
check 'kl7 dump utils ' '0 15 26'
check 'kl7 dump --format json utils 1' '15'
check 'kl7 dump --format=csv utils 2' '26'
check 'kl7 dump utils/ ' '0 15 26'
check 'kl7 dump utils/KL700.DAT ' ''
check 'kl7 dump missing ' ''
check 'kl7 info utils/KL70' 'utils/KL700.DAT'
check 'kl7 find ' ''
check 'kl7 find Farbe ut' 'utils'
check 'kl7 -- --raw ' ''
check 'kl7 records utils/KL700.DAT ' ''
check 'kl7 refs ut' 'utils'
check 'kl7 refs utils ' '0 15 26'
check 'kl7 refs --a' '--all'
check 'kl7 export --d' '--detail'
check 'kl7 diff utils u' 'utils'
check 'kl7 diff --r' '--resolved'
check 'kl7 export --format ' 'csv html json jsonl text tsv'

if ((failures > 0)); then
  echo "$failures completion case(s) failed"
  exit 1
fi
echo "all completion cases passed"

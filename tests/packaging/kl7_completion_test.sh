#!/usr/bin/env bash
# Completes command lines of kl7 with its bash completion and compares the offers, one case a row.
# Usage: kl7_completion_test.sh <completion file> [<kl7> <utils directory with a catalogue>]
set -uo pipefail
# shellcheck source=/dev/null
source "$1" || exit 1
kl7=${2:-}
samples=${3:-}
_kl7_program=/nonexistent  # the made-up directory: numbers from the file names
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

check 'kl7 ' 'check diff dump export find help info list records refs verify'
check 'kl7 d' 'diff dump'
check 'kl7 --h' '--help'
check 'kl7 --f' '--format'
check 'kl7 --no-' '--no-header --no-resolve'
check 'kl7 -f ' 'csv json jsonl table text tsv'
check 'kl7 --format json ' 'check diff dump export find help info list records refs verify'
check 'kl7 -f json d' 'diff dump'
check 'kl7 help d' 'diff dump'
check 'kl7 find --' '--encoding --exact --format --help --no-header --regex --umlaut --version'
check 'kl7 records --' '--help --raw --version'
check 'kl7 dump --no-' '--no-header --no-resolve'
check 'kl7 list --format ' 'csv json jsonl table text tsv'
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
check 'kl7 export --format ' 'csv html json jsonl table text tsv'
check 'kl7 dump utils 0 ' '0 15 26'
check 'kl7 export utils 1' '15'
check 'kl7 -f csv dump utils 0 2' '26'

# Names from the catalogue, read by kl7 itself.
if [[ -n $kl7 && -d $samples ]]; then
  _kl7_program=$kl7
  check "kl7 dump $samples " '0 Bibliotheksnamen 1 Farben 2 Werkstoffe 3 Maßeinheiten 4 Zahlungsbedingungen 5 Versandarten 6 Textbausteine 7 Länder'
  check "kl7 dump $samples 7" '7'
  check "kl7 export $samples 1 Far" 'Farben'
  check "kl7 refs $samples Tex" 'Textbausteine'
  check "kl7 dump $samples l" 'Länder'
fi

if ((failures > 0)); then
  echo "$failures completion case(s) failed"
  exit 1
fi
echo "all completion cases passed"

# shellcheck shell=bash disable=SC2154 # $utils and $window come from the sourcing script
# The scripted sequence that both windows (the Qt one and kl7view.exe) go through, sourced by their
# end-to-end tests. The sourcing script provides:
#   start_viewer ARGS...   starts the viewer and gives its window the focus ($window: its X id)
#   close_viewer           presses Esc and checks that the program ends with status 0
#   alive                  fails when the program has ended
#   expect_logged LINE     waits until the program has written LINE on stderr
#   expect_clipboard TEXT  waits until the X clipboard holds TEXT
#   fail MESSAGE
# and sets $utils to the utils directory as the viewer is given it, with its trailing separator.
# Only ASCII is typed: xdotool cannot type other characters into every window reliably.
# The clipboard texts it saw are written to $KL7_E2E_TRANSCRIPT, one to a line, when set: CI
# compares those of the two windows.

transcript() {
  if [ -n "${KL7_E2E_TRANSCRIPT:-}" ]; then printf '%s\n' "$1" >>"$KL7_E2E_TRANSCRIPT"; fi
}

copied() {
  expect_clipboard "$1"
  transcript "$1"
}

run_scripted_sequence() {
  if [ -n "${KL7_E2E_TRANSCRIPT:-}" ]; then : >"$KL7_E2E_TRANSCRIPT"; fi
  # Inside library 1: the first Down selects line 0, the second entry 1; Enter copies it.
  xdotool key --delay 50 Down Down Return
  copied "Grüße – 5 €"
  alive

  # Shift+Enter goes back to the catalogue with line 1 selected; Enter opens library 1 again,
  # where nothing is selected: four Downs reach the reference in entry 3, and Enter copies it
  # resolved.
  xdotool key --delay 50 shift+Return Return
  alive
  xdotool key --delay 50 Down Down Down Down Return
  copied "LIB[2,1] ---> Stahl verzinkt"
  alive

  # Backspace goes back to the catalogue. Typed letters choose a line (after a pause well beyond
  # the list's 0.4 seconds, so that they start a new search): "fe" the missing library 3, which
  # Enter cannot open; then "w" library 2, which Enter opens, and "s" its entry, which Enter
  # copies.
  xdotool key BackSpace
  sleep 0.8
  xdotool type --delay 50 fe
  xdotool key Return
  expect_logged "kl7view: ${utils}KL703.DAT: cannot read the library: file not found (status 12)"
  sleep 0.8
  xdotool type w
  xdotool key Return
  sleep 0.8
  xdotool type s
  xdotool key Return
  copied "Stahl verzinkt"
  alive

  # The mouse's back button goes back too; in library 1 Ctrl+C copies the entry chosen by "z".
  xdotool mousemove --window "$window" 100 100 click 8
  sleep 0.8
  xdotool type --delay 50 fa
  xdotool key Return
  sleep 0.8
  xdotool type z
  xdotool key ctrl+c
  copied "Zweite Zeile"
}

# shellcheck shell=bash
# Sourced by the window tests. Gives a window the focus. A window is found by its name before it is
# mapped, and focusing an unmapped window is an X error (BadMatch) that ends xdotool: try again until
# it is mapped.
focus_window() {
  for _ in $(seq 50); do
    timeout 10 xdotool windowfocus --sync "$1" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}

#!/usr/bin/env bash
# test-window-class.sh DESKTOP TREVOLAN: on an X server (Xvfb), the class in the
# window's WM_CLASS is the desktop entry's StartupWMClass, by which an X11 desktop
# matches the window to its menu entry and launcher.
set -euo pipefail
desktop=$1
program=$2
wanted=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[ -n "$wanted" ] || { echo "$desktop has no StartupWMClass" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# The window's settings and data folders in the scratch folder, not the user's.
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data XDG_RUNTIME_DIR=$scratch
# The classes of the windows that have one, as ("instance" "class"), once the program
# has mapped its main window (within 20 s).
# Two `xvfb-run -a` started at once (another suite on the machine) can take the same
# display number, and one server then fails to start: such a start is tried again, and
# a second failure shows what the X server and the program said.
show_classes() {
  QT_QPA_PLATFORM=xcb xvfb-run -a -e "$scratch/xvfb.log" bash -c '
  "$1" & pid=$!
  for _ in $(seq 100); do
    found=$(xwininfo -root -tree | grep -o "(\"[^\"]*\" \"[^\"]*\")" || true)
    [ -n "$found" ] && break
    sleep 0.2
  done
  kill "$pid"
  echo "$found"' bash "$program" 2>"$scratch/program.log"
}
classes=$(show_classes) || true
[ -n "$classes" ] || classes=$(show_classes) || true
[ -n "$classes" ] || {
  echo "the window showed no WM_CLASS within 20 s" >&2
  cat "$scratch/xvfb.log" "$scratch/program.log" >&2
  exit 1
}
while read -r line; do
  class=$(sed 's/^("[^"]*" "\(.*\)")$/\1/' <<<"$line")
  [ "$class" = "$wanted" ] || { echo "a window's WM_CLASS is $line, the desktop entry's StartupWMClass $wanted" >&2; exit 1; }
done <<<"$classes"
echo "the window's WM_CLASS $classes has the class $wanted of the desktop entry"

#!/usr/bin/env bash
# test-run.sh ROOT: README's `./run`, started as a new user starts it on a machine
# without a display, leaves the source tree ROOT as it was: whatever it builds and
# writes is under build*/, and the tape of the headless run is where it says.
#
# ./run works on a copy of ROOT: an overlay over ROOT at the same path, in a mount
# namespace of this test's own. So it finds the build that ./test made in ROOT/build and
# only configures and builds it again for its own options, and every file it writes,
# anywhere in the tree, lands in the overlay's upper folder, which is then looked at.
# Needs root (for the namespace); skipped otherwise.
set -euo pipefail
root=$(cd "$1" && pwd)
if [ "$(id -u)" -ne 0 ] || ! unshare -m true 2>/dev/null; then
  echo "no mount namespace can be had (root is needed): skipped"
  exit 77
fi
# A build folder that is a link to elsewhere would take ./run's writes out of the overlay.
[ ! -L "$root/build" ] || { echo "$root/build is a symbolic link: skipped"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/upper" "$scratch/work" "$scratch/bin"
# The packages are installed by now: ./run has no reason to reach for apt-get.
printf '#!/bin/sh\necho "./run started apt-get $*" >&2\nexit 1\n' >"$scratch/bin/apt-get"
chmod +x "$scratch/bin/apt-get"

status=0
unshare -m bash -c '
  mount -t overlay overlay -o "lowerdir=$1,upperdir=$2/upper,workdir=$2/work" "$1"
  cd "$1"
  exec env -u DISPLAY -u WAYLAND_DISPLAY PATH="$2/bin:$PATH" ./run
' bash "$root" "$scratch" >"$scratch/out" 2>&1 || status=$?
fail() {
  echo "./run without a display: $*" >&2
  echo "--- its output:" >&2
  tail -n 40 "$scratch/out" >&2
  exit 1
}
[ "$status" -eq 0 ] || fail "ended with status $status"

tape=build/tapes/damped_oscillator.tape.txt
grep -qx "the tape is in $root/$tape" "$scratch/out" || fail "did not say where the tape is"
[ -s "$scratch/upper/$tape" ] || fail "wrote no tape to $tape"
# Everything written outside build*/: a new or changed file, or a removed one (a
# character device in the upper folder).
changed=$(cd "$scratch/upper" && find . -mindepth 1 \( -path ./build -o -path './build-*' \) -prune -o -print |
  sed 's|^\./||' | sort)
[ -z "$changed" ] || fail "changed the source tree outside build*/:
$changed"
echo "./run ran headless, wrote its tape to $tape and left the source tree as it was"

#!/usr/bin/env bash
# test-package.sh BUILD: makes the Debian packages of the build tree BUILD (trevolan and,
# when the build has trevolan-mpi, trevolan-mpi), checks them with lintian (an error or a
# warning fails), installs them with dpkg, runs the installed programs from their
# installed places, and removes the packages again, also when a check fails. A machine
# that has a trevolan package installed already keeps it: the install checks are then
# skipped.
set -euo pipefail
build=$(cd "$1" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)

rm -f "$build"/trevolan_*.deb "$build"/trevolan-mpi_*.deb
# Without dpkg-shlibdeps the package is refused, not built without Depends: hidden in a
# private mount namespace of its own, where a namespace can be had.
if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
  echo "-- building the packages without dpkg-shlibdeps" >&2
  if out=$(cd "$build" && unshare -m sh -c 'mount --bind /dev/null "$(command -v dpkg-shlibdeps)" && cpack -G DEB' 2>&1); then
    echo "the packages were built without dpkg-shlibdeps: $out" >&2
    exit 1
  fi
  grep -q "install the package dpkg-dev" <<<"$out" || { echo "no word of dpkg-dev: $out" >&2; exit 1; }
  rm -f "$build"/trevolan_*.deb "$build"/trevolan-mpi_*.deb
fi

echo "-- building the packages" >&2
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/trevolan_*_*.deb)
version=$(dpkg-deb -f "$deb" Version)
echo "$(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)" >&2
debs=("$deb")
mpi_deb=""
if [ -x "$build/bin/trevolan-mpi" ]; then
  mpi_deb=$(ls "$build"/trevolan-mpi_*_*.deb)
  debs+=("$mpi_deb")
  depends=$(dpkg-deb -f "$mpi_deb" Depends)
  echo "$(basename "$mpi_deb"): Depends: $depends" >&2
  # The same build's trevolan, mpirun, and OpenMPI's library as dpkg-shlibdeps found it.
  for wanted in "trevolan (= $version)" "openmpi-bin" "libopenmpi3"; do
    grep -qF "$wanted" <<<"$depends" || { echo "trevolan-mpi does not depend on $wanted" >&2; exit 1; }
  done
  # Each program in its own package, each with its manual page.
  ! dpkg-deb -c "$deb" | grep "/trevolan-mpi" || { echo "the package trevolan holds trevolan-mpi's files" >&2; exit 1; }
  listing=$(dpkg-deb -c "$mpi_deb")
  for file in /usr/bin/trevolan-mpi /usr/share/man/man1/trevolan-mpi.1.gz /usr/share/doc/trevolan-mpi/copyright; do
    grep -q " \.$file$" <<<"$listing" || { echo "the package trevolan-mpi has no $file" >&2; exit 1; }
  done
fi
# The Python module, when the build has it, is in the package once, with its python3.
module=$(compgen -G "$build/python/trevolan/_trevolan*.so" || true)
copies=$(dpkg-deb -c "$deb" | grep -c "/trevolan/_trevolan\.cpython-[^/]*\.so$" || true)
if [ -n "$module" ]; then
  [ "$copies" -eq 1 ] || { echo "the package holds $copies copies of the Python module" >&2; exit 1; }
  minor=$(/usr/bin/python3 -c 'import sys; print(sys.version_info[1])')
  dpkg-deb -f "$deb" Depends | grep -q "python3 (>= 3.$minor), python3 (<< 3.$((minor + 1)))" ||
    { echo "the package does not bind python3 to 3.$minor" >&2; exit 1; }
fi

echo "-- lintian" >&2
report=$(lintian "${debs[@]}" 2>&1 | grep -v "running with root privileges" || true)
if [ -n "$report" ]; then
  echo "$report" >&2
  if grep -q "^[EW]: " <<<"$report"; then
    echo "lintian found errors or warnings in the packages" >&2
    exit 1
  fi
fi

for package in trevolan trevolan-mpi; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "installed"; then
    echo "-- a $package package is installed on this machine: it is left as it is, install checks skipped" >&2
    exit 0
  fi
done
if [ "$(id -u)" -ne 0 ]; then
  echo "-- not root: install checks skipped" >&2
  exit 0
fi

# dpkg waits for no lock of its own; another installation may hold it for a while.
dpkg_retry() {
  local tries=0 out
  until out=$(dpkg "$@" 2>&1); do
    if grep -q "lock" <<<"$out" && [ $((tries += 1)) -lt 60 ]; then
      sleep 2
    else
      echo "$out" >&2
      return 1
    fi
  done
}

scratch=$(mktemp -d)
cleanup() {
  dpkg_retry --purge trevolan-mpi trevolan || echo "could not remove the packages" >&2
  rm -rf "$scratch"
}
trap cleanup EXIT
echo "-- installing with dpkg" >&2
dpkg_retry -i "${debs[@]}"

fail() {
  echo "package check failed: $*" >&2
  exit 1
}
examples=/usr/share/trevolan/examples
[ "$(command -v trevolan-cli)" = /usr/bin/trevolan-cli ] || fail "trevolan-cli is not /usr/bin/trevolan-cli"
out=$(cd "$scratch" && trevolan-cli run "$examples/integrators.txt" --tape tape.txt) || fail "run: $out"
grep -q "^finished at Time 1000 after 1000 steps, tape rows 101$" <<<"$out" || fail "run printed: $out"
[ "$(wc -l <"$scratch/tape.txt")" -eq 102 ] || fail "the tape has not 101 rows and a header"
# The programs name the commit they were built from, that of this checkout.
built=$(git -C "$root" rev-parse --short HEAD 2>/dev/null) && built="commit $built" || built="unknown commit"
[ "$(trevolan-cli --version)" = "trevolan-cli $version ($built)" ] || fail "trevolan-cli --version: $(trevolan-cli --version)"
# The installed study example runs from anywhere with the installed batch runner.
out=$(cd "$scratch" && "$examples/mm1_queue_study.sh" --replications 2 --jobs 1 2>&1) || fail "the study example: $out"
[ "$(wc -l <"$scratch/mm1_runs.csv")" -eq 7 ] || fail "the study example wrote no runs file of 6 runs"
trevolan-cli help open | grep -q "^in scripts: open FILE$" || fail "trevolan-cli help open"
if [ -n "$module" ]; then
  out=$(cd "$scratch" && /usr/bin/python3 -c 'import trevolan; print(trevolan.Model.open("'"$examples"'/integrators.txt")["HighestBlock"])' 2>&1) ||
    fail "import trevolan: $out"
  listing=$(dpkg-deb -c "$deb")
  for file in __init__.py __init__.pyi py.typed; do
    grep -q "/dist-packages/trevolan/$file$" <<<"$listing" || fail "the package has no trevolan/$file"
  done
fi
[ "$(QT_QPA_PLATFORM=offscreen trevolan --version)" = "trevolan $version ($built)" ] || fail "trevolan --version"
env -u DISPLAY -u WAYLAND_DISPLAY trevolan --help | grep -qx "Example models: $examples" ||
  fail "trevolan --help does not name $examples"
# The user guide with every picture it shows, where the window's F1 finds it.
guide=/usr/share/doc/trevolan/user-guide.md
env -u DISPLAY -u WAYLAND_DISPLAY trevolan --help | grep -qx "User guide: $guide (F1 in the window)" ||
  fail "trevolan --help does not name $guide"
for picture in $(grep -o '](\(pictures\|images\)/[^)]*)' "$guide" | sed 's/^](//; s/)$//' | sort -u); do
  [ -s "/usr/share/doc/trevolan/$picture" ] || fail "the guide's picture $picture is not installed"
done
# The window starts on an installed example and keeps running until it is stopped.
status=0
(cd "$scratch" && QT_QPA_PLATFORM=offscreen timeout 3 trevolan "$examples/damped_oscillator.txt") || status=$?
[ "$status" -eq 124 ] || fail "the window ended with status $status instead of running"
pages=(trevolan trevolan-cli)
if [ -n "$mpi_deb" ]; then
  pages+=(trevolan-mpi)
  [ "$(trevolan-mpi --version)" = "trevolan-mpi $version ($built)" ] || fail "trevolan-mpi --version"
  # A study across two ranks of an installed example gives the files of the installed
  # batch runner's study on one machine.
  study=("$examples/mm1_queue.txt" --vary 101.aa=2,1.42857142857143 --replications 2 --warmup 500
         --measure mean:104.Value --jobs 1)
  out=$(cd "$scratch" && trevolan-cli study "${study[@]}" --out one.csv --summary one.sum.csv 2>&1) ||
    fail "trevolan-cli study: $out"
  out=$(cd "$scratch" && mpirun --allow-run-as-root --oversubscribe -np 2 trevolan-mpi study "${study[@]}" \
          --out ranks.csv --summary ranks.sum.csv 2>&1) || fail "mpirun trevolan-mpi study: $out"
  cmp "$scratch/one.csv" "$scratch/ranks.csv" && cmp "$scratch/one.sum.csv" "$scratch/ranks.sum.csv" ||
    fail "trevolan-mpi's study differs from trevolan-cli's"
fi
for page in "${pages[@]}"; do
  [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page"
done
bash -c 'source /usr/share/bash-completion/completions/trevolan-cli && complete -p trevolan-cli' >/dev/null ||
  fail "the completion of trevolan-cli"
[ -f /usr/share/applications/org.trevolan.trevolan.desktop ] || fail "the desktop entry"
[ -f /usr/share/icons/hicolor/scalable/apps/trevolan.svg ] || fail "the icon"

trap - EXIT
cleanup
for program in trevolan-cli trevolan-mpi; do
  [ ! -e "/usr/bin/$program" ] || fail "$program is still there after the packages were removed"
done
echo "-- the packages installed, ran and were removed" >&2

# Shared by ./run and ./test: installs what is missing and builds incrementally.
# Source it; it defines functions only.

# What ./run builds (the window, the batch runner, the examples) needs; nlohmann-json
# writes and reads the record of a study.
TREVOLAN_PACKAGES=(cmake g++ make qt6-base-dev qt6-svg-dev fonts-dejavu-core nlohmann-json3-dev)
# What ./test adds: the test and benchmark libraries, the PDF renderer of the picture
# tests, the manual pages, and MPI for studies across machines (procps: pgrep).
TREVOLAN_TEST_PACKAGES=(poppler-utils libgtest-dev libgmock-dev libbenchmark-dev scdoc libopenmpi-dev openmpi-bin procps)
# What ./test needs to build the Debian packages (dpkg-shlibdeps of dpkg-dev, file) and
# to check them and the desktop files, manual pages and completion (an X server, Xvfb,
# and xwininfo for the window's class on X11).
TREVOLAN_PACKAGING_PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream groff-base man-db bash-completion
  xvfb xauth x11-utils)

# ensure_packages [PACKAGE...]: installs through apt-get those of the packages (by
# default the build's) that are not installed yet; --no-install-recommends keeps the
# set small.
ensure_packages() {
  local missing=() wanted=("$@")
  [ ${#wanted[@]} -eq 0 ] && wanted=("${TREVOLAN_PACKAGES[@]}")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# The Python module: pybind11 and the headers of Debian's python3, numpy for its arrays,
# pytest for its tests. Without them the build skips the module and says so.
TREVOLAN_PYTHON_PACKAGES=(pybind11-dev python3-dev python3-numpy python3-pytest)
ensure_python_module() {
  ensure_packages "${TREVOLAN_PYTHON_PACKAGES[@]}" ||
    echo "== pybind11 could not be installed: the Python module and its tests are skipped" >&2
}
# The example notebook is run by its test when nbclient, a Python kernel and pandas are
# there; mypy checks the stub, tqdm and matplotlib are the module's bars and plots.
TREVOLAN_NOTEBOOK_PACKAGES=(python3-nbclient python3-ipykernel python3-pandas python3-mypy python3-tqdm
                            python3-matplotlib)
ensure_notebook_runner() {
  ensure_packages "${TREVOLAN_NOTEBOOK_PACKAGES[@]}" ||
    echo "== nbclient could not be installed: the example notebook is not run" >&2
}

# The spreadsheet link needs Calc and the python3 of Debian with its UNO bindings. A
# Calc that is installed is used as it is (apt would remove one to install the other);
# without one, `visible` installs the Calc that shows a window, else the one without.
ensure_calc() {
  if command -v soffice >/dev/null; then
    /usr/bin/python3 -c 'import uno' 2>/dev/null || ensure_packages python3-uno
  elif [ "${1:-}" = visible ]; then
    ensure_packages libreoffice-calc python3-uno
  else
    ensure_packages libreoffice-calc-nogui python3-uno
  fi
}

# What the build looks for, and so what a configured tree depends on.
TREVOLAN_FOUND_PACKAGES=("${TREVOLAN_PACKAGES[@]}" "${TREVOLAN_TEST_PACKAGES[@]}" "${TREVOLAN_PACKAGING_PACKAGES[@]}"
  "${TREVOLAN_PYTHON_PACKAGES[@]}" "${TREVOLAN_NOTEBOOK_PACKAGES[@]}"
  clang libclang-rt-14-dev)

# build DIR [CMAKE OPTIONS...]: configures DIR when it is new, when it was configured
# with other options, or when a package the build looks for was installed, removed or
# updated since (so a tree that ./run configured before ./test installed pybind11 finds
# it); then builds what changed.
build_tree() {
  local dir=$1
  shift
  local stamp="$dir/trevolan-configured.txt" configured
  configured=$(printf 'option %s\n' "$@"
               dpkg-query -W -f='${Package} ${Version} ${Status}\n' "${TREVOLAN_FOUND_PACKAGES[@]}" 2>/dev/null | sort
               true)
  if [ ! -f "$dir/CMakeCache.txt" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$configured" ]; then
    cmake -S "$TREVOLAN_ROOT" -B "$dir" "$@" >&2
    printf '%s\n' "$configured" >"$stamp"
  fi
  cmake --build "$dir" -j "$(nproc)" >&2
}

# example_models DIR: the paths of the example models by the list of the build tree DIR
# (CMakeLists.txt), not whatever else the examples folder holds.
example_models() {
  sed "s|^|$TREVOLAN_ROOT/examples/|" "$1/example-models.list"
}

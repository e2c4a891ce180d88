# Shared by ./run and ./test: installs what is missing and builds incrementally.
# Source it; it defines functions only.

TREVOLAN_PACKAGES=(cmake g++ make qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev fonts-dejavu-core)

# Installs, through apt-get, those of the packages that are not installed yet.
ensure_packages() {
  local missing=()
  for p in "${TREVOLAN_PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null && sudo="sudo"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q >&2
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
}

# build DIR [CMAKE OPTIONS...]: configures once, then builds what changed.
build_tree() {
  local dir=$1
  shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$TREVOLAN_ROOT" -B "$dir" "$@" >&2
  fi
  cmake --build "$dir" -j "$(nproc)" >&2
}

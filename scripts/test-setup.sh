#!/usr/bin/env bash
# test-setup.sh SETUP: build_tree of scripts/setup.sh configures a tree again when its
# options or the packages the build looks for have changed, and only then. Runs on a
# project of its own in a temporary folder, whose configure step counts its runs.
set -euo pipefail
setup=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
cat >"$root/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(counted NONE)
file(APPEND ${CMAKE_BINARY_DIR}/configured "x")
CMAKE
TREVOLAN_ROOT=$root
source "$setup"
nproc() { echo 1; }
configures() { wc -c <"$root/build/configured"; }
fail() {
  echo "build_tree: $*" >&2
  exit 1
}

build_tree "$root/build" -DA=1 2>/dev/null
[ "$(configures)" -eq 1 ] || fail "a new tree was not configured"
build_tree "$root/build" -DA=1 2>/dev/null
[ "$(configures)" -eq 1 ] || fail "an unchanged tree was configured again"
build_tree "$root/build" -DA=2 2>/dev/null
[ "$(configures)" -eq 2 ] || fail "other options did not configure the tree again"
# As if ./test had installed a package after ./run configured the tree.
sed -i '/^option/!d' "$root/build/trevolan-configured.txt"
build_tree "$root/build" -DA=2 2>/dev/null
[ "$(configures)" -eq 3 ] || fail "a change of the installed packages did not configure the tree again"
build_tree "$root/build" -DA=2 2>/dev/null
[ "$(configures)" -eq 3 ] || fail "the tree was configured again without a change"
echo "build_tree configures when it must and only then"

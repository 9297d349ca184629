#!/usr/bin/env bash
# Builds Kestrum and its tests and runs every test.
# Extra arguments are passed to CMake (CI uses them for the sanitizer build).
# KESTRUM_BUILD_DIR chooses the build directory (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/deps.sh"
need_packages "${BUILD_PACKAGES[@]}" "${TEST_PACKAGES[@]}"

build="${KESTRUM_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

#!/usr/bin/env bash
# Configures and builds into build/ (or $BUILD_DIR): the targets given, or
# everything. Options for the configure step go in $TOVRIN_CMAKE_OPTIONS,
# e.g. TOVRIN_CMAKE_OPTIONS=-DTOVRIN_BUILD_TESTS=OFF.
#   build.sh [TARGET...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
# shellcheck disable=SC2086  # the options are words on purpose
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo ${TOVRIN_CMAKE_OPTIONS:-} >/dev/null
targets=()
for target in "$@"; do targets+=(--target "$target"); done
cmake --build "$build" -j"$(nproc)" "${targets[@]}"

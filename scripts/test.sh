#!/usr/bin/env bash
# Builds and runs the whole test suite. As root it first starts a private
# cupsd under the build folder for the tests that deliver through CUPS, and
# stops it at the end whatever happened.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
TOVRIN_CMAKE_OPTIONS=-DTOVRIN_BUILD_TESTS=ON "$root/scripts/build.sh"
build=${BUILD_DIR:-$root/build}
cd "$build"

if [ "$(id -u)" -eq 0 ]; then
  cupsd_dir=$build/cupsd
  mkdir -p "$cupsd_dir"
  trap '"$root/scripts/cupsd-private.sh" stop "$cupsd_dir"' EXIT
  timeout 120 "$root/scripts/cupsd-private.sh" start "$cupsd_dir"
  # CUPS_SERVER and the queue, spare queue, port and lock the tests use.
  # shellcheck source=/dev/null
  . "$cupsd_dir/env"
else
  echo "not root: no private cupsd, the CUPS tests will skip"
fi

ctest --output-on-failure --timeout 300 -j"$(nproc)"

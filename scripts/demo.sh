#!/usr/bin/env bash
# Runs one headless plot job over the sample drawings, in a scratch copy of
# examples/, and shows the job log and where the GLF files are.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
# Only tovrin-batch (with its pictures) is built. A new build folder is set up
# without the tests, so GoogleTest and the other test tools are not needed;
# scripts/test.sh turns them on again in the same folder.
"$root/scripts/install-deps.sh" --demo
[ -f "$build/CMakeCache.txt" ] || export TOVRIN_CMAKE_OPTIONS=-DTOVRIN_BUILD_TESTS=OFF
"$root/scripts/build.sh" tovrin-batch

run="$build/demo-run"
rm -rf "$run"
mkdir -p "$run"
cp -p "$root"/examples/*.OFI "$run"/  # -p: settled drawings, plotted at once
cd "$run"
echo "== job log"
status=0
"$build/tovrin-batch" --set 'OfiOut=ﾌｧｲﾙ' --set 'OfiFMen=自動' --preview "$run/preview" || status=$?
echo "== GLF files in $run"
ls -l "$run"/*.GLF 2>/dev/null || echo "(none)"
echo "== pictures of the plots in $run/preview"
ls "$run"/preview/*.png 2>/dev/null || echo "(none)"
exit $status

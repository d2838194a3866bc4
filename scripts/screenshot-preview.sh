#!/usr/bin/env bash
# Pictures of the preview window (whole sheet and zoomed in) and of the file
# chooser with its preview pane, drawn by the X server of a virtual display
# (Xvfb) from the sample drawings.
#   scripts/screenshot-preview.sh [OUTPUT_DIR]    default: BUILD_DIR/screenshots
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}

command -v xvfb-run >/dev/null ||
  { echo "$0: xvfb-run is needed (apt-get install xvfb xauth)" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tovrin_ui_tests -j2
tests=$(find "$build" -name tovrin_ui_tests -type f -perm -u+x | head -n 1)
[ -n "$tests" ] || { echo "$0: tovrin_ui_tests was not built" >&2; exit 1; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
TOVRIN_SHOT_DIR=$out QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" "$tests" --gtest_filter='PreviewScreenshots.*'
ls -l "$out"/preview-window.png "$out"/preview-window-zoomed.png "$out"/form3-file-chooser-preview.png

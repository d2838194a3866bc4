#!/usr/bin/env bash
# Pictures of the file chooser (Form3, with its preview pane), the printer
# chooser (Form4), the preview window (whole sheet and zoomed in) and the job
# history window, drawn by the X server of a virtual display (Xvfb) from
# sample drawings; then tovrin-batch's status page (--http) in headless
# Chromium at desktop and phone widths (status-desktop.png, status-phone.png).
#   scripts/screenshot-windows.sh [OUTPUT_DIR]    default: BUILD_DIR/screenshots
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$build/screenshots}

if ! command -v xvfb-run >/dev/null || ! command -v xauth >/dev/null; then
  echo "installing: xvfb xauth"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends xvfb xauth
fi

cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target tovrin_ui_tests -j2
tests=$(find "$build" -name tovrin_ui_tests -type f -perm -u+x | head -n 1)
[ -n "$tests" ] || { echo "$0: tovrin_ui_tests was not built" >&2; exit 1; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
# From the build folder: with the compiler cache's base folder the tests
# name the sample drawings relative to it.
cd "$build"
TOVRIN_SHOT_DIR=$out QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1280x800x24" "$tests" \
  --gtest_filter='ChooserScreenshots.*:PreviewScreenshots.*:HistoryScreenshots.*'

# The status page: its browser test, which keeps its pictures when asked.
if ! command -v chromium >/dev/null || ! command -v chromedriver >/dev/null ||
  ! /usr/bin/python3 -c 'import selenium' 2>/dev/null; then
  echo "installing: chromium chromium-driver python3-selenium"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends chromium chromium-driver python3-selenium
fi
cmake --build "$build" --target tovrin-batch tovrin-web-drawings -j2
TOVRIN_SHOT_DIR=$out /usr/bin/python3 "$root/tests/web/status_page_browser.py" \
  "$build/tovrin-batch" "$build/tests/tovrin-web-drawings"
ls -l "$out"/*.png

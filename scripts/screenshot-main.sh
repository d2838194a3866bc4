#!/usr/bin/env bash
# Takes a screenshot of tovrin's main window under a virtual X server, so its
# look can be checked by eye.
#
#   scripts/screenshot-main.sh [OUTPUT.png] [tovrin arguments...]
#
# Runs tovrin in a scratch folder (so no Tovrin.sys of yours is touched) and
# writes the PNG (default: build/screenshots/main-window.png).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${1:-$build/screenshots/main-window.png}
shift || true

need=()
command -v Xvfb >/dev/null || need+=(xvfb)
command -v xwd >/dev/null || need+=(x11-apps)
command -v xwininfo >/dev/null || need+=(x11-utils)
[ -x /usr/bin/convert ] || need+=(imagemagick)
if [ ${#need[@]} -gt 0 ]; then
  echo "installing: ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${need[@]}"
fi

tovrin=$build/tovrin
[ -x "$tovrin" ] || { echo "no $tovrin: build first (scripts/build.sh)" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid= app_pid=
cleanup() {
  if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A free display number.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -dpi 96 -nolisten tcp 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done

title='Zelk-HPGL2 出図 Ve1.25'
(cd "$work" && DISPLAY=":$display" QT_QPA_PLATFORM=xcb exec "$tovrin" "$@") &
app_pid=$!
window=
for _ in $(seq 100); do
  window=$(DISPLAY=":$display" xwininfo -root -tree 2>/dev/null | grep -F "\"$title\"" | awk '{print $1}' | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "the main window did not appear" >&2; exit 1; }
sleep 1  # let it paint fully
DISPLAY=":$display" xwd -silent -id "$window" -out "$work/shot.xwd"

mkdir -p "$(dirname "$out")"
/usr/bin/convert "xwd:$work/shot.xwd" "png:$out"
echo "$out"

#!/bin/sh
# Peak memory and time of tovrin-batch plotting one drawing of 1, 10, 100
# and 400 MB (lines, polylines, arcs, text, areas) to a GLF file. Reading
# goes through a fixed window, so the peak must not grow with the drawing;
# target: at most 32 MB.
#
#   bench/batch_memory.sh BATCH PREVIEW_BENCH     (needs /usr/bin/time)
set -eu
batch=$(realpath "$1") writer=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%8s %10s %10s\n' "drawing" "seconds" "peak MB"
for mb in 1 10 100 400; do
  rm -f "$work"/*
  "$writer" --write_ofi="$work/BIG.OFI" --ofi_mb="$mb"
  (cd "$work" && /usr/bin/time -f '%e %M' -o time.txt "$batch" --settle 0 \
    --set 'OfiOut=ﾌｧｲﾙ' --set 'OfiFEnd=保存' >/dev/null)
  read -r seconds kib < "$work/time.txt"
  printf '%6s MB %10s %10s\n' "$mb" "$seconds" "$((kib / 1024))"
done

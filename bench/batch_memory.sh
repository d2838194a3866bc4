#!/bin/sh
# Peak memory and time of tovrin-batch plotting one drawing of 1, 10, 100
# and 400 MB (lines, polylines, arcs, text, areas) to a GLF file and, when
# the private cupsd is named in the environment (. build/cupsd/env after
# scripts/cupsd-private.sh start), delivering the 100 MB one to its plotter
# queue. Reading goes through a fixed window and the GLF is sent from its
# file a piece at a time, so the peak must not grow with the drawing;
# target: at most 32 MB.
#
#   bench/batch_memory.sh BATCH PREVIEW_BENCH     (needs /usr/bin/time)
#   SIZES="10 100" bench/batch_memory.sh ...      other drawing sizes
set -eu
batch=$(realpath "$1") writer=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run of tovrin-batch in $work with the settings given; prints the line.
measure() {
  label=$1
  shift
  (cd "$work" && /usr/bin/time -f '%e %M' -o time.txt "$batch" --settle 0 \
    --set 'OfiFEnd=保存' "$@" >log.txt) || true
  # The last line: a failing run's status comes first.
  set -- $(tail -n 1 "$work/time.txt")
  seconds=$1 kib=$2
  grep -q '出図終了' "$work/log.txt" || label="$label (not plotted)"
  printf '%6s MB %10s %10s  %s\n' "$mb" "$seconds" "$((kib / 1024))" "$label"
}

printf '%9s %10s %10s\n' "drawing" "seconds" "peak MB"
for mb in ${SIZES:-1 10 100 400}; do
  rm -f "$work"/*
  "$writer" --write_ofi="$work/BIG.OFI" --ofi_mb="$mb"
  measure "GLF kept" --set 'OfiOut=ﾌｧｲﾙ'
done

if [ -n "${CUPS_SERVER:-}" ] && [ -n "${TOVRIN_CUPS_QUEUE:-}" ] && [ -n "${TOVRIN_CUPS_LOCK:-}" ]; then
  # The queue is the CUPS tests': hold their lock. Nothing listens on the
  # plotter's port, so CUPS gives the job up once it has it; what is
  # measured is the program's part. The job's spool file is purged after.
  exec 9>"$TOVRIN_CUPS_LOCK"
  flock 9
  mb=100
  rm -f "$work"/*
  "$writer" --write_ofi="$work/BIG.OFI" --ofi_mb="$mb"
  measure "delivered to $TOVRIN_CUPS_QUEUE" --set 'OfiOut=ﾌﾟﾛｯﾀ' \
    --set "Hprn=$TOVRIN_CUPS_QUEUE" --wait-delivered 0
  cancel -a -x "$TOVRIN_CUPS_QUEUE" 2>/dev/null || true
fi

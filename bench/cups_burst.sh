#!/bin/sh
# A burst of drawings through the private cupsd with its default limits
# (MaxJobs 500: CUPS forgets its oldest ended jobs past 500): N drawings
# (5,000 unless given) copied into the OFI folder at once, then one
# tovrin-batch job plots them all to the plotter queue, whose plotter takes
# every connection. Each must reach the plotter once, each OFI go after its
# job completed, and the job exit 0. Prints the time and the counts.
#
#   scripts/cupsd-private.sh start build/cupsd && . build/cupsd/env
#   bench/cups_burst.sh build/tovrin-batch [N]
set -eu
batch=$(realpath "$1")
count=${2:-5000}
root=$(cd "$(dirname "$0")/.." && pwd)
: "${CUPS_SERVER:?start the private cupsd and source its env}"
work=$(mktemp -d)
listener=
cleanup() {
  [ -n "$listener" ] && kill "$listener" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The queue is the CUPS tests': hold their lock.
exec 9>"$TOVRIN_CUPS_LOCK"
flock 9

# The plotter: counts the connections and their bytes.
python3 -c '
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(64)
jobs = 0
while True:
    c, _ = s.accept()
    while c.recv(65536):
        pass
    c.close()
    jobs += 1
    with open(sys.argv[2], "w") as f:
        f.write(str(jobs))
' "$TOVRIN_CUPS_PORT" "$work/plotted" &
listener=$!

mkdir "$work/ofi" "$work/staging"
i=0
while [ "$i" -lt "$count" ]; do
  cp "$root/examples/FLANGE.OFI" "$work/staging/D$i.OFI"
  i=$((i + 1))
done
mv "$work/staging/"* "$work/ofi/"

start=$(date +%s.%N)
status=0
(cd "$work" && "$batch" --settle 0 --set "OfiFile=$work/ofi" --set "Hprn=$TOVRIN_CUPS_QUEUE" \
  --set 'OfiOut=ﾌﾟﾛｯﾀ' --set 'OfiFEnd=消去' >log.txt 2>&1) || status=$?
end=$(date +%s.%N)
sleep 1
left=$(find "$work/ofi" -name '*.OFI' | wc -l)
plotted=$(cat "$work/plotted" 2>/dev/null || echo 0)
completed=$(grep -c 'プリンタのジョブが完了しました' "$work/log.txt" || true)
lost=$(grep -c 'プリンタのジョブが分からなくなりました' "$work/log.txt" || true)
printf '%d drawings: %.1f s, exit %d, plotter got %d, completions %d, lost %d, OFIs left %d\n' \
  "$count" "$(awk "BEGIN { print $end - $start }")" "$status" "$plotted" "$completed" "$lost" "$left"
[ "$status" -eq 0 ] && [ "$plotted" -eq "$count" ] && [ "$completed" -eq "$count" ] && [ "$left" -eq 0 ]

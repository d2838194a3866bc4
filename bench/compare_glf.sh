#!/bin/sh
# Compares the GLF files of two tovrin-batch builds byte for byte over many
# generated drawings, under a few setting sets.
#
#   bench/compare_glf.sh REFERENCE_BATCH NEW_BATCH BENCH_BINARY [COUNT]
set -eu
ref=$(realpath "$1") new=$(realpath "$2") bench=$(realpath "$3") count=${4:-200}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/drawings"
"$bench" --write_drawings="$work/drawings" "$count"
status=0
run() {  # name, then --set arguments
  name=$1
  shift
  for build in ref new; do
    dir="$work/$name.$build"
    mkdir "$dir"
    cp "$work"/drawings/*.OFI "$dir"/
    eval bin=\$$build
    (cd "$dir" && "$bin" --settle 0 --set 'OfiOut=ﾌｧｲﾙ' --set 'OfiFEnd=保存' "$@" >log.txt 2>&1) || true
    # The log carries times; keep the results only.
    sed 's/^[0-9:\/ -]*//' "$dir/log.txt" > "$dir/results.txt"
    rm -f "$dir/log.txt" "$dir"/Tovrin.db* "$dir"/*.OFI
  done
  if diff -r "$work/$name.ref" "$work/$name.new" >/dev/null; then
    echo "$name: $(ls "$work/$name.new" | grep -c GLF) GLF files identical"
  else
    echo "$name: DIFFERENT"
    diff -rq "$work/$name.ref" "$work/$name.new" | head -5
    status=1
  fi
}
run defaults
run a1roll --set 'Plot=A1ﾌﾟﾛｯﾀﾛｰﾙ紙'
run a0cut --set 'Plot=A0ﾌﾟﾛｯﾀｶｯﾄ紙' --set 'OfiS=70' --set 'MojiK=半角'
run fullwidth --set 'MojiE=全角' --set 'MojiK=全角'
exit $status

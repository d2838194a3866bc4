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

# In CI only: the core and preview tests again, built with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own, then each libFuzzer
# target for a while from its committed seed corpus (clang only).
sanitized_leg() {
  local sbuild=${SANITIZE_BUILD_DIR:-$root/build-sanitize}
  local fuzz_seconds=${FUZZ_SECONDS:-30}
  local compiler=() fuzz=OFF started=$SECONDS
  if command -v clang++ >/dev/null; then
    compiler=(-DCMAKE_CXX_COMPILER=clang++)
    fuzz=ON
  fi
  cmake -S "$root" -B "$sbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g" "${compiler[@]}" \
    -DTOVRIN_SANITIZE=ON -DTOVRIN_FUZZ=$fuzz >/dev/null
  local targets=(tovrin_tests tovrin_preview_tests)
  [ "$fuzz" = ON ] && targets+=(fuzz)
  cmake --build "$sbuild" -j"$(nproc)" --target "${targets[@]}"
  echo "sanitized build: $((SECONDS - started)) s"

  export ASAN_OPTIONS=abort_on_error=1:detect_stack_use_after_return=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  # Fontconfig keeps a cache for the life of the process.
  export LSAN_OPTIONS=suppressions=$root/scripts/lsan.supp
  "$sbuild/tests/tovrin_tests"
  QT_QPA_PLATFORM=offscreen "$sbuild/tests/preview/tovrin_preview_tests"
  echo "sanitized tests: $((SECONDS - started)) s"

  [ "$fuzz" = ON ] || { echo "no clang: fuzz targets skipped"; return 0; }
  local target
  for target in fuzz_translate fuzz_settings fuzz_header_text fuzz_glf_parser fuzz_history_db; do
    # New inputs go to a scratch corpus; the committed seeds stay as they are.
    mkdir -p "$sbuild/fuzz-work/$target" "$sbuild/fuzz-artifacts"
    local log="$sbuild/fuzz-artifacts/$target.log"
    # Inputs that run fast are mutated more often: a few slow ones (a dashed
    # wide arc of thousands of pieces) would otherwise take most of the time.
    if ! "$sbuild/fuzz/$target" -max_total_time="$fuzz_seconds" -timeout=25 -rss_limit_mb=2048 \
      -entropic_scale_per_exec_time=1 -print_final_stats=1 \
      -artifact_prefix="$sbuild/fuzz-artifacts/$target-" \
      "$sbuild/fuzz-work/$target" "$root/fuzz/corpus/$target" >"$log" 2>&1; then
      head -n 100 "$log"
      echo "$target found a failing input (saved under $sbuild/fuzz-artifacts)"
      return 1
    fi
    # The rate says how deep the fuzzer got in its time: read it here.
    local runs rate
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    echo "$target: ${runs:-?} runs in $fuzz_seconds s, ${rate:-?} runs/s," \
      "$(grep -E '^#[0-9]+.*DONE' "$log" | tail -n 1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [^ ]+')"
  done
  echo "sanitizer and fuzz leg: $((SECONDS - started)) s"
}

if [ -n "${CI:-}" ]; then
  sanitized_leg
fi

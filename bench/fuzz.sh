#!/usr/bin/env bash
# Builds the libFuzzer programs with clang in build-fuzz and runs each for SECONDS (default 60),
# as many at a time as there are processors, on a copy of its seed corpus, so the committed
# corpus stays as it is. Prints executions per second, total executions and crashes per target;
# exits non-zero when any target crashed.
# Crashing inputs are kept in build-fuzz/findings/TARGET/: reproduce one with
# build-fuzz/fuzz/TARGET FILE, fix the reader, and commit the input to fuzz/regressions/TARGET/.
#
#     bench/fuzz.sh [SECONDS] [TARGETS...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_logfile fuzz_species fuzz_ini fuzz_blocks fuzz_replies)

scripts/install-deps
compiler=clang++-14
if ! command -v "$compiler" >/dev/null || ! command -v clang-14 >/dev/null; then
  echo "fuzz.sh: needs clang 14 and its fuzzer runtime (Debian packages clang-14 libclang-rt-14-dev)" >&2
  exit 1
fi

# Debug keeps Qt's own range checks; -O1 keeps the fuzzer fast.
cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER="$compiler" \
  -DKV5_FUZZ=ON -DKV5_SANITIZE=ON -DKV5_WERROR=ON -DBUILD_TESTING=OFF \
  -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" >/dev/null
cmake --build build-fuzz --target "${targets[@]}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C.UTF-8
# A fixed zone with summer time: runs do not depend on the host, and local times are converted
# without the C library checking the zone file at every conversion.
export TZ=CET-1CEST,M3.5.0,M10.5.0/3
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# One run per target, as many at a time as there are processors.
run() {
  local target=$1 dir="$work/$1" status=0
  mkdir -p "$dir/corpus" "$dir/findings"
  cp "fuzz/corpus/$target/"* "$dir/corpus/" 2>/dev/null || true
  cp "fuzz/regressions/$target/"* "$dir/corpus/" 2>/dev/null || true
  (cd "$dir" && "$root/build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/findings/" corpus >"$dir/log" 2>&1) || status=$?
  echo "$status" >"$dir/status"
}
for target in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  run "$target" &
done
wait

printf '%-14s %8s %12s %13s %8s\n' target seconds exec/s executions crashes
failed=0
for target in "${targets[@]}"; do
  dir="$work/$target"
  status=$(cat "$dir/status")
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$dir/log" | tail -1)
  if [ -z "$executions" ]; then
    # A crash ends the run before the final figures: take the last progress line.
    executions=$(grep -o '^#[0-9]*' "$dir/log" | tail -1 | tr -d '#')
    executions=${executions:-0}
    rate=-
  fi
  crashes=$(find "$dir/findings" -type f | wc -l)
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  printf '%-14s %8s %12s %13s %8s\n' "$target" "$seconds" "$rate" "$executions" "$crashes"
  if [ "$crashes" -ne 0 ]; then
    failed=1
    mkdir -p "build-fuzz/findings/$target"
    cp "$dir/findings/"* "build-fuzz/findings/$target/" 2>/dev/null || true
    cp "$dir/log" "build-fuzz/findings/$target/log"
    echo "--- $target: end of the fuzzer's output (all in build-fuzz/findings/$target/log)"
    grep -v '^#[0-9]' "$dir/log" | tail -40
  fi
done
exit $failed

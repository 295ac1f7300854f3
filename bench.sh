#!/usr/bin/env bash
# Release build of the benchmarks; prints every case as a ratio against its reference.
cd "$(dirname "$0")"
source scripts/common.sh
ensure_packages "${QUOR_BUILD_PACKAGES[@]}" "${QUOR_BENCH_PACKAGES[@]}"

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF -DBUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$(jobs)"

for bin in "$build"/bench/*_bench; do
  [ -x "$bin" ] || continue
  json="$build/$(basename "$bin").json"
  "$bin" --benchmark_format=json --benchmark_out="$json" --benchmark_out_format=json \
    --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" --benchmark_enable_random_interleaving=true "$@" >/dev/null
  python3 scripts/bench_ratios.py "$json"
done

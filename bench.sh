#!/usr/bin/env bash
# Release build of the benchmarks; prints every case as a ratio against its reference, beside
# its target (bench/targets.txt) and whether it meets it. Arguments go to every program: with
# --benchmark_repetitions=5 the table shows each case's median.
cd "$(dirname "$0")"
source scripts/common.sh
ensure_packages "${QUOR_BUILD_PACKAGES[@]}" "${QUOR_BENCH_PACKAGES[@]}"

build=build/bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTS=OFF -DBUILD_BENCH=ON >/dev/null
cmake --build "$build" -j "$(jobs)"

for bin in "$build"/bench/*_bench; do
  [ -x "$bin" ] || continue
  # One process per case: the cases of a program bind long-lived hosts of their own into the
  # module's process-wide interface table, so cases of different files never share a run.
  out="$build/$(basename "$bin").json.d"
  rm -rf "$out" && mkdir -p "$out"
  for case in $("$bin" --benchmark_list_tests | sed 's/[./].*//' | sort -u); do
    "$bin" --benchmark_filter="^$case[./]" --benchmark_format=json --benchmark_out="$out/$case.json" \
      --benchmark_out_format=json --benchmark_min_time="${BENCH_MIN_TIME:-0.2}" \
      --benchmark_enable_random_interleaving=true "$@" >/dev/null
  done
  python3 scripts/bench_ratios.py "$out"/*.json
done

# The fuzz targets' speed, each alone on one core (FUZZ_SPEED=0 skips it).
if [ "${FUZZ_SPEED:-1}" != 0 ]; then
  scripts/fuzz_speed.sh
fi

#!/usr/bin/env bash
# Builds the libFuzzer targets (the clang build ./test.sh makes) and runs each one alone, pinned
# to one core, for FUZZ_SPEED_SECONDS (default 30) from a copy of its seed corpus. Prints one
# line per target: its inputs per second, the rate it must reach (1,000 for a whole-scene
# target, 10,000 for every other) and "ok" or "MISS"; exits non-zero when a target misses.
# FUZZ_SPEED_CORE picks the core (default the last), FUZZ_SPEED_TARGETS limits the run to the
# named targets ("ini scene2d"), QUOR_BUILD_ROOT moves the build directory (default build/).
# The verdict goes by wall time; on a busy machine, where the core is shared, the column of
# inputs per CPU-second (user plus system) shows what the target itself costs.
cd "$(dirname "$0")/.."
source scripts/common.sh
ensure_packages "${QUOR_BUILD_PACKAGES[@]}" "${QUOR_FUZZ_PACKAGES[@]}"

# Targets that load a whole scene, with its renderer and frames; every other target reads one
# kind of file (or text) and must be ten times faster.
whole_scene=" scene2d scenefile scenebin "

export CCACHE_BASEDIR=$PWD
fbuild=${QUOR_BUILD_ROOT:-build}/fuzz
CC=clang CXX=clang++ cmake -S . -B "$fbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON \
  -DBUILD_TESTS=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" >/dev/null
cmake --build "$fbuild" -j "$(jobs)" --target fuzz_all >/dev/null

seconds=${FUZZ_SPEED_SECONDS:-30}
core=${FUZZ_SPEED_CORE:-$(($(jobs) - 1))}
only=" ${FUZZ_SPEED_TARGETS:-} "
runs=$fbuild/speed
mkdir -p "$runs"
echo "fuzz speed: each target alone on core $core for $seconds s"
printf '  %-12s %10s %10s %10s\n' target "inputs/s" "per CPU-s" needs
missed=0
for bin in "$fbuild"/fuzz/*_fuzz; do
  [ -x "$bin" ] || continue
  name=$(basename "$bin" _fuzz)
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
  need=10000
  [[ "$whole_scene" == *" $name "* ]] && need=1000
  work="$runs/$name"
  rm -rf "$work" && mkdir -p "$work"
  [ -d "$fbuild/corpus/$name" ] && cp -r "$fbuild/corpus/$name/." "$work/"
  log="$runs/$name.log"
  status=0
  # Wall, user and system seconds of the run, from the shell's own timer.
  times=$( { TIMEFORMAT='%R %U %S'; time taskset -c "$core" "$bin" -max_total_time="$seconds" \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$runs/$name-" "$work" >"$log" 2>&1; } 2>&1 ) || status=$?
  inputs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  read -r wall user sys <<<"$(tail -1 <<<"$times")"
  rate=$(awk -v n="${inputs:-0}" -v t="$wall" 'BEGIN { printf "%d", (t > 0 ? n / t : 0) }')
  cpurate=$(awk -v n="${inputs:-0}" -v u="$user" -v s="$sys" 'BEGIN { printf "%d", (u + s > 0 ? n / (u + s) : 0) }')
  verdict=ok
  if [ "$status" -ne 0 ]; then
    verdict="FAILED (see $log)"
  elif [ "$rate" -lt "$need" ]; then
    verdict=MISS
  fi
  [ "$verdict" = ok ] || missed=1
  printf '  %-12s %10s %10s %10s  %s\n' "$name" "$rate" "$cpurate" "$need" "$verdict"
done
exit $missed

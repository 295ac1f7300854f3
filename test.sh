#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test
# program in a few shards; builds the tests that start threads, with the libraries they reach,
# again under ThreadSanitizer and runs them; builds the libraries a third time with clang and
# libFuzzer's coverage and gives each fuzz target a smoke run of a fixed length. Prints the
# wall and CPU time of each stage at the end. QUOR_BUILD_ROOT moves the build directories
# (default build/), FUZZ_RUNS the mutations each fuzz target tries in its smoke run
# (default 5000).
cd "$(dirname "$0")"
source scripts/common.sh
trap 'print_stage_times $?' EXIT

stage "packages"
ensure_packages "${QUOR_BUILD_PACKAGES[@]}" "${QUOR_TEST_PACKAGES[@]}" "${QUOR_FUZZ_PACKAGES[@]}"
root=${QUOR_BUILD_ROOT:-build}
# Object files of another checkout of the project are reused from the cache.
export CCACHE_BASEDIR=$PWD
# Line tables (-g1) are all a sanitizer report needs; full debug information costs half the
# compile. The test programs themselves build at -O0 (tests/CMakeLists.txt).
config=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DWERROR=ON -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g1" -DCMAKE_C_FLAGS_DEBUG="-O1 -g1")

stage "build (ASan+UBSan)"
build=$root/asan
cmake -S . -B "$build" "${config[@]}" -DSANITIZE=ON >/dev/null
cmake --build "$build" -j "$(jobs)"

stage "tests (ASan+UBSan)"
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
ctest --test-dir "$build" --output-on-failure -j "$(jobs)"

# The ASan tree's libraries installed into a temporary prefix, and two hosts built outside the
# tree against that prefix alone (tests/hosts/run.sh).
stage "install and outside hosts (ASan+UBSan)"
tests/hosts/run.sh "$build"

# Tests that start threads carry "Thread" in their names (the test programs fail any that
# does not); the TSan build makes programs of the files that hold them (tests/CMakeLists.txt).
stage "build (TSan)"
tbuild=$root/tsan
cmake -S . -B "$tbuild" "${config[@]}" -DTSAN=ON >/dev/null
cmake --build "$tbuild" -j "$(jobs)" --target thread_tests

stage "tests (TSan)"
# Mesa's software rasteriser runs its own uninstrumented worker threads, whose locking
# ThreadSanitizer misreads; with LP_NUM_THREADS=0 it draws on the calling thread.
LP_NUM_THREADS=0 TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$tbuild" --output-on-failure -j "$(jobs)"

# The fuzz build writes each target's seed corpus itself (fuzz/CMakeLists.txt).
stage "build (fuzz)"
fbuild=$root/fuzz
CC=clang CXX=clang++ cmake -S . -B "$fbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON \
  -DBUILD_TESTS=OFF -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -gline-tables-only" >/dev/null
cmake --build "$fbuild" -j "$(jobs)" --target fuzz_all

stage "fuzz smoke runs"
# Each target replays its seeds and then tries a fixed number of mutations (FUZZ_RUNS), so the
# stage costs the same on any machine; FUZZ_SECONDS caps a target that has become slow. Each
# run starts from a copy of the seeds the build wrote, so the seeds stay as written.
smoke() {
  local bin=$1 name work
  name=$(basename "$bin")
  work="$fbuild/runs/${name%_fuzz}"
  rm -rf "$work" && mkdir -p "$work"
  [ -d "$fbuild/corpus/${name%_fuzz}" ] && cp -r "$fbuild/corpus/${name%_fuzz}/." "$work/"
  if "$bin" -runs="${FUZZ_RUNS:-5000}" -max_total_time="${FUZZ_SECONDS:-60}" -rss_limit_mb=2048 \
      -artifact_prefix="$fbuild/$name-" "$work" >"$fbuild/$name.log" 2>&1; then
    echo "fuzz smoke: $name: $(grep -E '^Done [0-9]+ runs' "$fbuild/$name.log" || tail -1 "$fbuild/$name.log")"
  else
    echo "fuzz smoke: $name FAILED"
    tail -50 "$fbuild/$name.log"
    return 1
  fi
}
export -f smoke
export fbuild
targets=("$fbuild"/fuzz/*_fuzz)
[ -x "${targets[0]}" ] || { echo "no fuzz target was built"; exit 1; }
printf '%s\0' "${targets[@]}" | xargs -0 -n 1 -P "$(jobs)" bash -c 'smoke "$0"'

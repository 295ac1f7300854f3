#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test;
# runs the tests that start threads again under ThreadSanitizer; then, where clang's fuzzer
# runtime is present, gives each fuzz target a short smoke run, all at once. Prints the time
# of each stage at the end. QUOR_BUILD_ROOT moves the build directories (default build/).
cd "$(dirname "$0")"
source scripts/common.sh
trap 'print_stage_times $?' EXIT

stage "packages"
ensure_packages "${QUOR_BUILD_PACKAGES[@]}" "${QUOR_TEST_PACKAGES[@]}" "${QUOR_FUZZ_PACKAGES[@]}"
root=${QUOR_BUILD_ROOT:-build}

stage "build (ASan+UBSan)"
build=$root/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DWERROR=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build "$build" -j "$(jobs)"

stage "tests (ASan+UBSan)"
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
ctest --test-dir "$build" --output-on-failure -j "$(jobs)"

# Tests that start threads carry "Thread" in their names (the test programs fail any that
# does not); only the programs holding such tests are built again, with ThreadSanitizer.
stage "build (TSan)"
threaded=()
for dir in tests/*/; do
  tree=$(basename "$dir")
  [ "$tree" = support ] && continue
  if grep -rqE 'TEST(_F|_P)?\( *[A-Za-z0-9_]*Thread|TEST(_F|_P)?\( *[A-Za-z0-9_]+, *[A-Za-z0-9_]*Thread' "$dir"; then
    threaded+=("${tree}_tests")
  fi
done
tbuild=$root/tsan
if [ ${#threaded[@]} -gt 0 ]; then
  cmake -S . -B "$tbuild" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTSAN=ON -DWERROR=ON \
    -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
  cmake --build "$tbuild" -j "$(jobs)" --target "${threaded[@]}"
  stage "tests (TSan)"
  echo "programs with threaded tests: ${threaded[*]}"
  # Mesa's software rasteriser runs its own uninstrumented worker threads, whose locking
  # ThreadSanitizer misreads; with LP_NUM_THREADS=0 it draws on the calling thread.
  LP_NUM_THREADS=0 TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir "$tbuild" --output-on-failure -j "$(jobs)" -R 'Thread'
fi

if [ -z "$(find fuzz -name '*_fuzz.cpp' -print -quit)" ]; then
  exit 0
fi
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  echo "fuzz smoke run skipped: clang's fuzzer runtime is not installed"
  exit 0
fi
# The fuzz build writes each target's seed corpus itself (fuzz/CMakeLists.txt).
stage "build (fuzz)"
fbuild=$root/fuzz
CC=clang CXX=clang++ cmake -S . -B "$fbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON >/dev/null
cmake --build "$fbuild" -j "$(jobs)" --target fuzz_all

stage "fuzz smoke runs"
# Each run starts from a copy of its seeds, so the seeds stay as the build wrote them.
pids=()
names=()
for bin in "$fbuild"/fuzz/*_fuzz; do
  name=$(basename "$bin")
  work="$fbuild/runs/${name%_fuzz}"
  rm -rf "$work" && mkdir -p "$work"
  [ -d "$fbuild/corpus/${name%_fuzz}" ] && cp -r "$fbuild/corpus/${name%_fuzz}/." "$work/"
  "$bin" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -artifact_prefix="$fbuild/$name-" "$work" \
    >"$fbuild/$name.log" 2>&1 &
  pids+=($!)
  names+=("$name")
done
failed=0
for i in "${!pids[@]}"; do
  if wait "${pids[$i]}"; then
    echo "fuzz smoke: ${names[$i]}: $(grep -E '^Done [0-9]+ runs' "$fbuild/${names[$i]}.log" || tail -1 "$fbuild/${names[$i]}.log")"
  else
    echo "fuzz smoke: ${names[$i]} FAILED"
    tail -50 "$fbuild/${names[$i]}.log"
    failed=1
  fi
done
exit $failed

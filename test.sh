#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test;
# then, where clang's fuzzer runtime is present, gives each fuzz target a short smoke run.
cd "$(dirname "$0")"
source scripts/common.sh
ensure_packages "${QUOR_BUILD_PACKAGES[@]}" "${QUOR_FUZZ_PACKAGES[@]}"

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build "$build" -j "$(jobs)"

export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
ctest --test-dir "$build" --output-on-failure -j "$(jobs)"

# Tests that start threads carry "Thread" in their names; they run again under ThreadSanitizer.
tbuild=build/tsan
cmake -S . -B "$tbuild" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTSAN=ON -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" >/dev/null
cmake --build "$tbuild" -j "$(jobs)" --target platform_tests world_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$tbuild" --output-on-failure -j "$(jobs)" -R 'Thread'

if [ -z "$(find fuzz -name '*_fuzz.cpp' -print -quit)" ]; then
  exit 0
fi
if ! command -v clang++ >/dev/null || ! compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null; then
  echo "fuzz smoke run skipped: clang's fuzzer runtime is not installed"
  exit 0
fi
fbuild=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$fbuild" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFUZZ=ON >/dev/null
cmake --build "$fbuild" -j "$(jobs)" --target fuzz_all
for bin in "$fbuild"/fuzz/*_fuzz; do
  name=$(basename "$bin")
  corpus="$build/corpus/${name%_fuzz}"
  mkdir -p "$corpus"
  echo "fuzz smoke: $name"
  "$bin" -max_total_time="${FUZZ_SECONDS:-20}" -rss_limit_mb=2048 -artifact_prefix="$fbuild/" "$corpus" 2>"$fbuild/$name.log" \
    || { tail -50 "$fbuild/$name.log"; exit 1; }
  tail -1 "$fbuild/$name.log"
done

#!/usr/bin/env bash
# Builds and runs every test: the plain build, then AddressSanitizer +
# UndefinedBehaviorSanitizer over the same tests, then ThreadSanitizer over the
# concurrency tests, then each libFuzzer target for a bounded time. Build trees go
# under build/ (override with LUMIVEX_BUILD_ROOT).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}"
jobs="$(nproc)"

echo "== plain build and tests"
"$root/scripts/build.sh" "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$out/release" --output-on-failure --parallel "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$out/asan" -DCMAKE_BUILD_TYPE=Debug -DLUMIVEX_SANITIZE=address,undefined \
  -DLUMIVEX_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$out/asan" --output-on-failure --parallel "$jobs"

echo "== ThreadSanitizer (concurrency tests)"
"$root/scripts/build.sh" "$out/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVEX_SANITIZE=thread \
  -DLUMIVEX_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir "$out/tsan" --output-on-failure --parallel "$jobs" -L concurrency

echo "== libFuzzer targets (clang; LUMIVEX_FUZZ_SECONDS per target, default 60)"
"$root/scripts/run-fuzzers.sh"

#!/usr/bin/env bash
# Builds and runs every test: the plain build, then AddressSanitizer +
# UndefinedBehaviorSanitizer over the same tests, then ThreadSanitizer over the
# concurrency tests, then each libFuzzer target for a bounded time. Build trees go
# under build/ (override with LUMIVEX_BUILD_ROOT). A JACK server with the dummy
# driver runs for the end-to-end tests of the standalone host (label "jack"),
# unless one runs already; it is stopped again at the end.
# Every ctest runs under a virtual X server (xvfb-run) for the panel's window tests
# (label "display").
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}"
jobs="$(nproc)"

echo "== plain build and tests"
"$root/scripts/build.sh" "$out/release" -DCMAKE_BUILD_TYPE=Release

jackd_pid=""
stop_jackd() {
  if [ -n "$jackd_pid" ]; then
    kill "$jackd_pid" 2>/dev/null || true
    wait "$jackd_pid" 2>/dev/null || true
  fi
}
trap stop_jackd EXIT
jack_state="$(jack_wait --check 2>/dev/null || true)"
if ! command -v jackd >/dev/null 2>&1; then
  echo "== no jackd installed: the jack tests will skip"
elif [ "$jack_state" = running ]; then
  echo "== a JACK server runs already"
else
  echo "== JACK server, dummy driver, 48000 Hz, 256 frames"
  jackd --no-realtime -d dummy -r 48000 -p 256 >"$out/jackd.log" 2>&1 &
  jackd_pid=$!
  if ! jack_wait --wait --timeout 30 >/dev/null 2>&1; then
    echo "the JACK server did not come up; the jack tests will skip" >&2
    cat "$out/jackd.log" >&2 || true
  fi
fi

xvfb-run -a ctest --test-dir "$out/release" --output-on-failure --parallel "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
"$root/scripts/build.sh" "$out/asan" -DCMAKE_BUILD_TYPE=Debug -DLUMIVEX_SANITIZE=address,undefined \
  -DLUMIVEX_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  xvfb-run -a ctest --test-dir "$out/asan" --output-on-failure --parallel "$jobs"

echo "== ThreadSanitizer (concurrency tests)"
"$root/scripts/build.sh" "$out/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVEX_SANITIZE=thread \
  -DLUMIVEX_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  xvfb-run -a ctest --test-dir "$out/tsan" --output-on-failure --parallel "$jobs" -L concurrency

echo "== libFuzzer targets (clang; LUMIVEX_FUZZ_SECONDS per target, default 60)"
"$root/scripts/run-fuzzers.sh"

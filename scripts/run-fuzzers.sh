#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (coverage instrumentation, AddressSanitizer,
# UndefinedBehaviorSanitizer) and runs each for a bounded time on a copy of its seed
# corpus, so the repository is never written to. Any crash, leak, sanitizer report or
# hang fails the script; the input that caused it is kept in <build>/artifacts/<target>/.
#   LUMIVEX_BUILD_ROOT    where build trees go (default: build/); this one is <root>/fuzz
#   LUMIVEX_FUZZ_SECONDS  time per target in seconds (default: 60)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}/fuzz"
seconds="${LUMIVEX_FUZZ_SECONDS:-60}"

# One line per target: the executable (tests/fuzz) and its seed corpus (tests/fuzz/corpus/).
targets=(
  "hex_loader_fuzz hex_loader"
  "control_names_fuzz control_names"
  "state_load_fuzz state_load"
)

echo "== fuzz build (clang, libFuzzer + ASan + UBSan)"
CC=clang CXX=clang++ "$root/scripts/build.sh" "$out" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMIVEX_FUZZ=ON

for entry in "${targets[@]}"; do
  read -r target corpus <<<"$entry"
  echo "== fuzzing $target for ${seconds}s"
  work="$out/corpus/$corpus"
  artifacts="$out/artifacts/$target"
  rm -rf "$work"
  mkdir -p "$work" "$artifacts"
  cp -R "$root/tests/fuzz/corpus/$corpus/." "$work/"
  "$out/tests/fuzz/$target" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work"
done

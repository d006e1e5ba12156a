#!/usr/bin/env bash
# Builds Lumivex and runs the application. Until the standalone application
# exists, this builds every library, test and benchmark and says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}"
"$root/scripts/build.sh" "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "Built the FXCore chip library, its tests and benchmarks in $out/release."
echo "The standalone application is not part of the build yet; run the chip benchmark with:"
echo "  $out/release/bench/core_bench"

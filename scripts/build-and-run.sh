#!/usr/bin/env bash
# Builds Lumivex and runs the application. Until the application window exists,
# this builds every library, tool, test and benchmark and says so.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}"
"$root/scripts/build.sh" "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "Built the chip, the plug-in, the standalone host library, the panel toolkit and views,"
echo "their tests and benchmarks in $out/release. The application window is not part of the"
echo "build yet. Benchmarks: $out/release/bench/core_bench, plugin_bench, editor_bench."

#!/usr/bin/env bash
# Builds the program `lumivex` (RelWithDebInfo) and starts the pedal: its window
# on the X display, its audio on the system's default devices. Arguments go to the
# program. The build tree is build/release (override the root with
# LUMIVEX_BUILD_ROOT); scripts/build.sh builds everything else in it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}"
cmake -S "$root" -B "$out/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$out/release" --target lumivex --parallel "$(nproc)"
exec "$out/release/standalone/shell/lumivex" "$@"

#!/usr/bin/env bash
# Builds Lumivex (RelWithDebInfo) and starts the pedal: the program `lumivex`, its
# window on the X display and its audio on the system's default devices. Arguments
# go to the program. The build tree is build/release (override the root with
# LUMIVEX_BUILD_ROOT).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${LUMIVEX_BUILD_ROOT:-$root/build}"
"$root/scripts/build.sh" "$out/release" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$out/release/standalone/shell/lumivex" "$@"

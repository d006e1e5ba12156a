#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Lumivex needs.
# Safe to run more than once. Used by the README and by CI.
set -euo pipefail

PACKAGES=(
  build-essential g++ cmake ninja-build pkg-config
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  # clang builds the fuzz targets; libclang-rt-14-dev carries the sanitizer and
  # libFuzzer runtimes (-fsanitize=fuzzer).
  clang libclang-rt-14-dev
  # The panel: Xlib + cairo, drawn and tested under a virtual X server; the
  # program's end-to-end tests click into its window through XTest.
  libx11-dev libcairo2-dev xvfb xauth libxtst-dev
  # Fonts for regenerating the panel artwork (tools/artgen); the build does not need them.
  fonts-dejavu-core
  # The standalone application: GTK 3 shell, audio and MIDI through RtAudio and
  # RtMidi, a JACK server (dummy driver) for the end-to-end tests.
  libgtk-3-dev librtaudio-dev librtmidi-dev jackd2 libjack-jackd2-dev libasound2-dev
  # The standalone's user defaults (GLib key files) and its device watcher's timer.
  libglib2.0-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${PACKAGES[@]}"

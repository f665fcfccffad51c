#!/usr/bin/env bash
# Fresh Debian machine to a rendered demo: installs what is missing, builds, renders the
# built-in phrase through the plug-in into vorlak-demo.wav.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target vorlak vorlak-render
build/vorlak-render -o vorlak-demo.wav "$@"
echo "wrote $(pwd)/vorlak-demo.wav"

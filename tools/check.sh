#!/usr/bin/env bash
# Fresh Debian machine to a passing test run: installs what is missing, builds everything,
# runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j2

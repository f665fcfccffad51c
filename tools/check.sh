#!/usr/bin/env bash
# Fresh Debian machine to a passing test run: installs what is missing, builds everything,
# runs every test; then the whole suite again under the address and undefined-behaviour
# sanitizers, the thread test under the thread sanitizer, a short run of each fuzz target, the
# Debian package made, installed and removed (tools/check_package.sh: it installs into this
# machine), and the Windows module and its installer cross-built and checked under Wine
# against this build.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --tests
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build
ctest --test-dir build --output-on-failure -j2
tools/check_package.sh build-deb

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLAK_SANITIZE=ON \
  -DVORLAK_BUILD_BENCH=OFF
cmake --build build-asan
ctest --test-dir build-asan --output-on-failure -j2

# Only the core and the thread test: the thread sanitizer fails the run on any data race.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORLAK_TSAN=ON \
  -DVORLAK_BUILD_BENCH=OFF
cmake --build build-tsan --target vorlak_thread_tests
TSAN_OPTIONS="halt_on_error=1:${TSAN_OPTIONS:-}" build-tsan/tests/threads/vorlak_thread_tests

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVORLAK_FUZZ=ON -DVORLAK_BUILD_TESTS=OFF -DVORLAK_BUILD_BENCH=OFF
cmake --build build-fuzz --target vorlak_fuzzers
fuzz/run.sh build-fuzz smoke 20

tools/check_windows.sh build

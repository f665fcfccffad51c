#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when any is missing.
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config python3 libx11-dev libxtst-dev
          libgtest-dev libbenchmark-dev libsndfile1-dev libebur128-dev libpng-dev libstk-dev
          lv2-dev liblilv-dev)
if [ "${1:-}" = "--tests" ]; then
  # The real-host check runs Ardour's plug-in scanner; the fuzz targets need clang and its
  # libFuzzer runtime; the LV2 bundle is checked with lv2_validate (sordi) and lv2info.
  packages+=(ardour xvfb xauth clang libclang-rt-dev sordi lilv-utils)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"

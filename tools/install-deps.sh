#!/usr/bin/env bash
# Installs the Debian packages the build, the tools and the tests need, when any is missing.
set -euo pipefail

# STK's development package needs one of JACK's; naming JACK 2's keeps apt from removing STK
# when a host package that brings JACK 2 (Qtractor's) is installed beside it.
packages=(g++ cmake ninja-build pkg-config python3 libx11-dev libxtst-dev
          libgtest-dev libbenchmark-dev libsndfile1-dev libebur128-dev libpng-dev libstk-dev
          lv2-dev liblilv-dev libjack-jackd2-dev librtaudio-dev librtmidi-dev libasound2-dev
          jackd2)
if [ "${1:-}" = "--tests" ]; then
  # The real-host checks run Ardour's and Qtractor's plug-in scanners; the fuzz targets need
  # clang and its libFuzzer runtime; the LV2 bundle is checked with lv2_validate (sordi) and
  # lv2info; the Windows module is cross-built with MinGW-w64 and checked under Wine
  # (tools/check_windows.sh installs these too when run on its own); the Debian package is made with dpkg-dev and
  # checked by lintian, the Windows installer made with NSIS and its zip beside it.
  packages+=(ardour qtractor xvfb xauth desktop-file-utils clang libclang-rt-dev sordi lilv-utils
             g++-mingw-w64-x86-64-posix wine64 googletest dpkg-dev lintian nsis zip unzip)
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

#!/usr/bin/env bash
# The Windows module on a Debian machine: installs the MinGW-w64 cross compiler, Wine and what
# the checks need, cross-builds vorlak.dll, vorlak.clap and the suites into build-win/, and runs
# under Wine the suites that need neither X11 nor glibc (the CLAP test host among them), the
# modules' export and import checks, the panel of each in a Win32 host window under Xvfb against
# vorlak-snapshot's pictures, the bit identity of every program's render with vorlak.so's, and
# the installer (NSIS) installed and removed. The pictures and renders come from a Linux build
# (default build/, which tools/check.sh makes first):
#   tools/check_windows.sh [LINUX_BUILD_DIR]
# Every check runs even when one fails; the exit status says whether all passed.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build="$(realpath "${1:-build}")"
for tool in vorlak-snapshot vorlak-render vorlak.so; do
  if [ ! -e "$linux_build/$tool" ]; then
    echo "check_windows: no $tool in $linux_build; build Linux first (tools/check.sh)" >&2
    exit 1
  fi
done

step() {
  echo "check_windows: $1 after ${SECONDS}s"
}

packages=(g++-mingw-w64-x86-64-posix wine64 googletest cmake ninja-build python3 xvfb xauth nsis
  zip unzip)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
step "packages"

cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DVORLAK_LINUX_BUILD_DIR="$linux_build"
# The Wine prefixes (the panel test has one of its own) are made while the build runs.
wine=$(sed -n 's/^VORLAK_WINE:FILEPATH=//p' build-win/CMakeCache.txt)
prefix_jobs=()
for prefix in $(sed -n 's/^VORLAK_\(PANEL_\)\?WINEPREFIX:PATH=//p' build-win/CMakeCache.txt); do
  WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot --init \
    >/dev/null 2>&1 &
  prefix_jobs+=($!)
done
cmake --build build-win -j2
step "cross build"
wait "${prefix_jobs[@]}" || true
step "Wine prefixes"

# One Wine server for all the checks in the main prefix, kept running, with Wine's own
# background programs (services, the desktop) started here with no output. Otherwise the
# first check starts them, they keep that check's output open until the server goes, so ctest
# waits on it, and the server and those programs stop after every idle moment and start again
# under the next program. (The panel check's prefix has a server of its own.)
wineserver=$(sed -n 's/^VORLAK_WINESERVER:FILEPATH=//p' build-win/CMakeCache.txt)
main_prefix=$(sed -n 's/^VORLAK_WINEPREFIX:PATH=//p' build-win/CMakeCache.txt)
stop_wine() { WINEPREFIX="$main_prefix" "$wineserver" -k 2>/dev/null || true; }
trap stop_wine EXIT
# The one that made the prefix may still be winding down.
stop_wine
WINEPREFIX="$main_prefix" "$wineserver" -w 2>/dev/null || true
WINEPREFIX="$main_prefix" "$wineserver" -p </dev/null >/dev/null 2>&1
WINEPREFIX="$main_prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$wine" wineboot \
  </dev/null >/dev/null 2>&1 || true

status=0
ctest --test-dir build-win --output-on-failure -j2 || status=$?
step "checks under Wine"
exit $status

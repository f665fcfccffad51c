#!/usr/bin/env bash
# Makes the Windows installer vorlak-<version>-setup.exe (NSIS's makensis, installer/vorlak.nsi)
# and beside it vorlak-<version>-windows-x64.zip holding the same files, from a MinGW-w64 build:
#   tools/package-windows.sh [BUILD_WIN_DIR] [OUTPUT_DIR]
# Without BUILD_WIN_DIR (or with an empty one) it configures and builds a folder of its own,
# build-win-package, with the MinGW-w64 cross compiler (g++-mingw-w64-x86-64-posix), tests off.
# A BUILD_WIN_DIR given is taken as it is: it must have built vorlak.dll and vorlak-render.exe;
# its VST 3 bundle (vorlak.vst3/) and CLAP module (vorlak.clap) go in when it has them.
# OUTPUT_DIR defaults to the repository's root, where relative folders start, as in
# tools/package-deb.sh. The version is the project's, from the build's generated header.
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${2:-.}")
if [ -n "${1:-}" ]; then
  build=$(realpath -m "$1")
else
  build=$(realpath -m build-win-package)
  cmake -S . -B "$build" --no-warn-unused-cli -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DVORLAK_BUILD_TESTS=OFF -DVORLAK_BUILD_BENCH=OFF >/dev/null
  cmake --build "$build" --target vorlak vorlak-render vorlak_vst3_module vorlak_clap_module
fi

for file in vorlak.dll vorlak-render.exe generated/vorlak_version.h; do
  if [ ! -e "$build/$file" ]; then
    echo "package-windows: no $file in $build; build it first, or name no folder (doc/development.md, The Windows build)" >&2
    exit 1
  fi
done
version=$(sed -n 's/^#define VORLAK_VERSION "\(.*\)"$/\1/p' "$build/generated/vorlak_version.h")

formats=()
[ -d "$build/vorlak.vst3" ] && formats+=(-DVST3)
[ -f "$build/vorlak.clap" ] && formats+=(-DCLAP)
mkdir -p "$output"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The licence as Windows programs expect a text file: lines ending in CR LF.
sed 's/$/\r/' LICENSE >"$work/LICENSE.txt"
setup="$output/vorlak-$version-setup.exe"
makensis -V2 -WX -DVERSION="$version" -DBUILD="$build" -DOUTFILE="$setup" \
  -DLICENSE="$work/LICENSE.txt" "${formats[@]}" installer/vorlak.nsi

# The zip: each module in a folder named as the one it goes into, the tool and the licence at
# the top.
top="$work/vorlak-$version"
mkdir -p "$top/VST2"
cp "$work/LICENSE.txt" "$top/"
cp "$build/vorlak.dll" "$top/VST2/"
cp "$build/vorlak-render.exe" "$top/"
if [ -d "$build/vorlak.vst3" ]; then
  mkdir -p "$top/VST3"
  cp -r "$build/vorlak.vst3" "$top/VST3/"
fi
if [ -f "$build/vorlak.clap" ]; then
  mkdir -p "$top/CLAP"
  cp "$build/vorlak.clap" "$top/CLAP/"
fi
archive="$output/vorlak-$version-windows-x64.zip"
rm -f "$archive"
(cd "$work" && zip -q -r -X "$archive" "vorlak-$version")
echo "$setup"
echo "$archive"

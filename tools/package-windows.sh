#!/usr/bin/env bash
# Makes the Windows installer vorlak-<version>-setup.exe (NSIS's makensis, installer/vorlak.nsi)
# and beside it vorlak-<version>-windows-x64.zip holding the same files, from a MinGW-w64 build:
#   tools/package-windows.sh [BUILD_WIN_DIR] [OUTPUT_DIR]
# BUILD_WIN_DIR (default build-win) must have built vorlak.dll and vorlak-render.exe; its VST 3
# bundle (vorlak.vst3/) and CLAP module (vorlak.clap) go in when it has them. The version is
# the project's, from the build's generated header.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath -m "${1:-build-win}")
output=$(realpath -m "${2:-$build/package}")

for file in vorlak.dll vorlak-render.exe generated/vorlak_version.h; do
  if [ ! -e "$build/$file" ]; then
    echo "package-windows: no $file in $build; build it first (README, Windows)" >&2
    exit 1
  fi
done
version=$(sed -n 's/^#define VORLAK_VERSION "\(.*\)"$/\1/p' "$build/generated/vorlak_version.h")

formats=()
[ -d "$build/vorlak.vst3" ] && formats+=(-DVST3)
[ -f "$build/vorlak.clap" ] && formats+=(-DCLAP)
mkdir -p "$output"
setup="$output/vorlak-$version-setup.exe"
makensis -V2 -WX -DVERSION="$version" -DBUILD="$build" -DOUTFILE="$setup" "${formats[@]}" \
  installer/vorlak.nsi

# The zip: each module in a folder named as the one it goes into, the tool at the top.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
top="$work/vorlak-$version"
mkdir -p "$top/VST2"
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

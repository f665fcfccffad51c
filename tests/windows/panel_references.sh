#!/bin/sh
# vorlak-snapshot's raw pictures of the given programs, from the Linux build, for the Win32
# panel test: panel-<program>.raw in the output folder, and panel-0-2x.raw at scale 2.
set -eu
linux_build="$1"
out="$2"
shift 2
if [ -z "$linux_build" ] || [ ! -x "$linux_build/vorlak-snapshot" ]; then
  echo "FAIL: no vorlak-snapshot in the Linux build '$linux_build' (set VORLAK_LINUX_BUILD_DIR)"
  exit 1
fi
mkdir -p "$out"
for program in "$@"; do
  "$linux_build/vorlak-snapshot" --raw -p "$program" -o "$out/panel-$program.raw"
done
# And program 0 at scale 2, for the panel on a 192 dpi desktop.
"$linux_build/vorlak-snapshot" --raw -p 0 --scale 2 -o "$out/panel-0-2x.raw"
echo "pictures of programs $* in $out"

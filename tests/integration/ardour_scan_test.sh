#!/bin/sh
# Ardour's VST scanner loads the module the way Ardour does and writes what it learned into
# a cache file. The scanner exits 0 on most failures, so the module passes only when that
# file exists and describes the instrument.
set -u
module="$1"
preload="${2:-}"
scanner=/usr/lib/ardour7/ardour-vst-scanner

if [ ! -x "$scanner" ]; then
  echo "FAIL: $scanner is missing (install the ardour package)"
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/cache" "$tmp/plugins"
plugins=$(cd "$tmp/plugins" && pwd -P)
path="$plugins/vorlak.so"
cp "$module" "$path"
# The scanner caches by modification time and skips files that look freshly written.
touch -d '-5 seconds' "$path"

# With the sanitizer runtimes preloaded the scanner can deadlock in a library's exit
# handler after it has written its result, hence the time limit.
HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" LD_LIBRARY_PATH=/usr/lib/ardour7 \
  LD_PRELOAD="$preload" ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}" \
  timeout 30 "$scanner" -v -f "$path" </dev/null >"$tmp/scan.log" 2>&1
status=$?

hash=$(printf %s "$path" | sha1sum | cut -d' ' -f1)
info="$tmp/cache/ardour7/vst/$hash-x64.v2i"
if [ ! -f "$info" ]; then
  cat "$tmp/scan.log"
  echo "FAIL: the scanner (exit status $status) wrote no $info"
  exit 1
fi

failed=0
expect() {
  if ! grep -Eq "$1" "$info"; then
    echo "FAIL: the scan result lacks $1"
    failed=1
  fi
}
expect '<VST2Info '
expect ' name="Vorlak"'
expect ' creator="Kivo"'
expect ' is_instrument="(1|true)"'
expect ' n_inputs="0"'
expect ' n_outputs="2"'
expect ' n_midi_inputs="1"'
expect ' has_editor="(1|true)"'
if [ "$failed" != 0 ]; then
  cat "$tmp/scan.log"
  cat "$info"
  exit 1
fi
grep VST2Info "$info" | head -1

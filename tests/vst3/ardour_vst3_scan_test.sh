#!/bin/sh
# Ardour's VST 3 scanner loads the bundle the way Ardour does and writes what it learned into
# a cache file. The scanner exits 0 on most failures, so the bundle passes only when that file
# exists and describes the instrument.
set -u
bundle="$1"
preload="${2:-}"
scanner=/usr/lib/ardour7/ardour-vst3-scanner

if [ ! -x "$scanner" ]; then
  echo "FAIL: $scanner is missing (install the ardour package)"
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/cache" "$tmp/plugins"
cp -R "$bundle" "$tmp/plugins/vorlak.vst3"

HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" LD_LIBRARY_PATH=/usr/lib/ardour7 \
  LD_PRELOAD="$preload" ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}" \
  timeout 30 "$scanner" -v -f "$tmp/plugins/vorlak.vst3" </dev/null >"$tmp/scan.log" 2>&1
status=$?

info=$(find "$tmp/cache" -name '*.v3i' | head -1)
if [ -z "$info" ]; then
  cat "$tmp/scan.log"
  echo "FAIL: the scanner (exit status $status) wrote no cache file"
  exit 1
fi

failed=0
expect() {
  if ! grep -Eq "$1" "$info"; then
    echo "FAIL: the scan result lacks $1"
    failed=1
  fi
}
expect '<VST3Info '
expect ' uid="4B69766F566F726C616B565354330001"'
expect ' name="Vorlak"'
expect ' vendor="Kivo"'
expect ' category="Instrument\|Synth"'
expect ' n_inputs="0"'
expect ' n_outputs="2"'
expect ' n_midi_inputs="1"'
if [ "$failed" != 0 ]; then
  cat "$tmp/scan.log"
  cat "$info"
  exit 1
fi
grep VST3Info "$info" | head -1

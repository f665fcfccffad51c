#!/bin/sh
# Ardour's scanner for a format loads the module the way Ardour does and writes what it
# learned into a cache file. The scanner exits 0 on most failures, so the module passes only
# when that file exists and describes the instrument.
#   ardour_scan_test.sh vst|vst3 MODULE_OR_BUNDLE [PRELOAD]
set -u
kind="$1"
module="$2"
preload="${3:-}"
scanner=/usr/lib/ardour7/ardour-$kind-scanner

if [ ! -x "$scanner" ]; then
  echo "FAIL: $scanner is missing (install the ardour package)"
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/home" "$tmp/cache" "$tmp/plugins"
plugins=$(cd "$tmp/plugins" && pwd -P)
case "$kind" in
  vst) path="$plugins/vorlak.so" ;;
  *) path="$plugins/vorlak.vst3" ;;
esac
cp -R "$module" "$path"
# The scanner caches by modification time and skips files that look freshly written.
find "$path" -exec touch -d '-5 seconds' {} +

# With the sanitizer runtimes preloaded the scanner can deadlock in a library's exit
# handler after it has written its result, hence the time limit.
HOME="$tmp/home" XDG_CACHE_HOME="$tmp/cache" LD_LIBRARY_PATH=/usr/lib/ardour7 \
  LD_PRELOAD="$preload" ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}" \
  timeout 30 "$scanner" -v -f "$path" </dev/null >"$tmp/scan.log" 2>&1
status=$?

info=$(find "$tmp/cache" -name '*.v2i' -o -name '*.v3i' | head -1)
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
expect ' name="Vorlak"'
expect ' n_inputs="0"'
expect ' n_outputs="2"'
expect ' n_midi_inputs="1"'
if [ "$kind" = vst ]; then
  record=VST2Info
  expect ' creator="Kivo"'
  expect ' is_instrument="(1|true)"'
  expect ' has_editor="(1|true)"'
else
  record=VST3Info
  expect ' uid="4B69766F566F726C616B565354330001"'
  expect ' vendor="Kivo"'
  expect ' category="Instrument\|Synth"'
fi
expect "<$record "
if [ "$failed" != 0 ]; then
  cat "$tmp/scan.log"
  cat "$info"
  exit 1
fi
grep "$record" "$info" | head -1

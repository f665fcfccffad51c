#!/bin/sh
# Qtractor's plug-in scanner loads the module the way Qtractor does: it reads "CLAP:<path>"
# and answers one line per plug-in, "CLAP|name|audio in:out|MIDI in:out|parameters:outputs|
# flags|path|index|id". It prints nothing for a module it cannot use.
set -u
module="$1"
preload="${2:-}"
scanner=$(ls /usr/lib/*/qtractor/qtractor_plugin_scan /usr/lib/qtractor/qtractor_plugin_scan \
  2>/dev/null | head -n 1)

if [ -z "$scanner" ]; then
  echo "FAIL: qtractor_plugin_scan is missing (install the qtractor package)"
  exit 1
fi

path=$(realpath "$module")
answer=$(echo "CLAP:$path" | LD_PRELOAD="$preload" ASAN_OPTIONS="detect_leaks=0:${ASAN_OPTIONS:-}" \
  timeout 30 "$scanner" 2>&1)
echo "$answer"
line=$(echo "$answer" | grep "^CLAP|")
expected="CLAP|Vorlak|0:2|1:0|28:0|GUI,EXT,RT|$path|0|"
case "$line" in
  "$expected"*) echo "qtractor lists: $line" ;;
  *)
    echo "FAIL: expected a line starting $expected"
    exit 1
    ;;
esac

#!/bin/sh
# Runs a Windows program under Wine in an X server of its own (a 24-bit screen, so that pixels
# read back are the ones drawn): run_under_xvfb.sh WINESERVER COMMAND... with WINEPREFIX set.
# The prefix's Wine server is stopped before and after, so that the desktop of this run is
# made on this display and no later program finds that display gone: the prefix must be one
# that no other program is using meanwhile.
set -eu
wineserver="$1"
shift
"$wineserver" -k 2>/dev/null || true
status=0
xvfb-run -a -s "-screen 0 1280x1024x24" "$@" || status=$?
"$wineserver" -k 2>/dev/null || true
exit $status

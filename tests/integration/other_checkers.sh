#!/bin/sh
# The modules as checkers written by others see them, from the shared tools beside the
# repository: other_checkers.sh vst3|clap CHECKER MODULE [RUNNER...]. vst3: every test of
# Steinberg's validator in extensive mode passes; clap: clap-info lists every parameter with a
# name, and clap.tail. RUNNER (Wine) runs a Windows checker, given the module's Windows path.
# A missing checker fails: CI clones the shared tools beside the repository.
set -eu
kind="$1" checker="$2" module="$3"
shift 3
[ -x "$checker" ] || { echo "FAIL: no checker at $checker"; exit 1; }
[ $# -eq 0 ] || module="Z:$(realpath "$module" | tr / '\\')"
output=$(mktemp)
trap 'rm -f "$output"' EXIT
if [ "$kind" = vst3 ]; then
  "$@" "$checker" -e "$module" 2>&1 | tr -d '\r' >"$output" || true
  # Refused sample rates print ERROR lines inside a passing test; only the verdict counts.
  grep -E "\[Failed\]|^Result:" "$output" || true
  grep -qE "^Result: [1-9][0-9]* tests passed, 0 tests failed$" "$output"
else
  "$@" "$checker" "$module" >"$output" 2>/dev/null || true
  python3 - "$output" <<'PYTHON'
import json, sys
plugins = json.load(open(sys.argv[1], encoding="utf-8", errors="replace")).get("plugins") or [{}]
for extensions in (plugin.get("extensions", {}) for plugin in plugins):
    params = extensions.get("clap.params", {}).get("param-info", [])
    faults = ["parameter %s has no name" % p.get("id") for p in params if not p.get("name")]
    faults += [] if params else ["no parameters listed"]
    faults += [] if extensions.get("clap.tail", {}).get("implemented") else ["no clap.tail"]
    print("\n".join("FAIL: " + f for f in faults) or "%d parameters named, clap.tail" % len(params))
    sys.exit(1 if faults else 0)
PYTHON
fi

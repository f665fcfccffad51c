#!/bin/sh
# The modules as checkers written by others see them, from the shared/tools folder beside the
# repository (Steinberg's VST 3 validator, free-audio's clap-info; see its README):
#   other_checkers.sh vst3 CHECKER BUNDLE [RUNNER...]   every test of the extensive run passes
#   other_checkers.sh clap CHECKER MODULE [RUNNER...]   every parameter named, clap.tail offered
# RUNNER (wine, for the Windows builds) runs the checker, which is then given the module's
# Windows path. A missing checker is a failure, not a skip: CI clones shared/ beside the repo.
set -eu
kind="$1"
checker="$2"
module="$3"
shift 3
if [ ! -x "$checker" ]; then
  echo "FAIL: no checker at $checker (the shared tools are expected beside the repository)"
  exit 1
fi
if [ $# -gt 0 ]; then
  module="Z:$(realpath "$module" | tr / '\\')"
fi
output=$(mktemp)
trap 'rm -f "$output"' EXIT

case "$kind" in
  vst3)
    "$@" "$checker" -e "$module" >"$output" 2>&1 || true
    # The refused sample rates print ERROR lines inside a passing test; only the verdict counts.
    verdict=$(tr -d '\r' <"$output" | sed -n 's/^Result: \([0-9]*\) tests passed, \([0-9]*\) tests failed$/\1 \2/p')
    set -- $verdict
    if [ $# -ne 2 ] || [ "$1" -eq 0 ] || [ "$2" -ne 0 ]; then
      tr -d '\r' <"$output" | grep -E "\[Failed\]|failed|Result:" | grep -v "setupProcessing" || true
      echo "FAIL: the validator's verdict is '${verdict:-missing}' (passed failed)"
      exit 1
    fi
    echo "validator: $1 tests passed, 0 failed"
    ;;
  clap)
    "$@" "$checker" "$module" >"$output" 2>/dev/null || true
    python3 - "$output" <<'PYTHON'
import json, sys
with open(sys.argv[1], encoding="utf-8", errors="replace") as f:
    report = json.load(f)
faults = []
for plugin in report.get("plugins", []) or [{}]:
    extensions = plugin.get("extensions", {})
    params = extensions.get("clap.params", {}).get("param-info", [])
    faults += ["parameter %s has no name" % p.get("id") for p in params if not p.get("name")]
    faults += [] if params else ["no parameters listed"]
    if not extensions.get("clap.tail", {}).get("implemented"):
        faults.append("clap.tail is not implemented")
for fault in faults:
    print("FAIL:", fault)
if not faults:
    print("clap-info: %d parameters, all named; clap.tail offered" % len(params))
sys.exit(1 if faults else 0)
PYTHON
    ;;
esac

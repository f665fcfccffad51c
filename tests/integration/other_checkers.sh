#!/bin/sh
# The modules as checkers written by others see them, from the shared tools beside the
# repository: other_checkers.sh vst3|clap CHECKER MODULE [RUNNER...]. vst3: every test of
# Steinberg's validator in extensive mode passes; clap: clap-info lists parameters, all named
# (as is everything else it lists), and clap.tail. RUNNER (Wine) runs a Windows checker, given the module's Windows path.
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
  # clap-info's JSON, one field a line: no empty name, parameters listed, the tail offered.
  "$@" "$checker" "$module" 2>/dev/null | tr -d '\r' >"$output" || true
  grep -E '"(name|param-count)" : ' "$output" | grep -E '""|: 0,' && exit 1
  grep -A1 '"clap.tail" : ' "$output" | grep -q '"implemented" : true' || { echo "no clap.tail"; exit 1; }
  grep -q '"param-count" : ' "$output" || { echo "no parameters listed"; exit 1; }
fi

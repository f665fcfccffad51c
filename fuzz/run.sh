#!/usr/bin/env bash
# Runs the libFuzzer targets of a VORLAK_FUZZ build (see the README for building one).
#   fuzz/run.sh BUILD smoke [SECONDS]         every target for SECONDS (20) from its corpus,
#                                             with a fixed seed
#   fuzz/run.sh BUILD long TARGET SECONDS     one target for SECONDS; new inputs go to
#                                             BUILD/fuzz/work/TARGET, findings to BUILD/fuzz/findings
#   fuzz/run.sh BUILD runs TARGET COUNT       one target until it has made COUNT executions,
#                                             with the same folders as long
#   fuzz/run.sh BUILD merge TARGET            minimises the work corpus into fuzz/corpus/TARGET
# TARGET is dispatcher, events, panel or state. The repository's corpus is only read, except by merge.
# Each run prints the executions it made; a finding (crash, sanitizer report, failed check,
# timeout) stops the run with a non-zero status and leaves the input in the findings folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "$1" && pwd)"
mode="$2"
targets=(dispatcher events panel state)

run_target() {  # target seconds [more libFuzzer options]
  local target="$1" seconds="$2"
  shift 2
  local work="$build/fuzz/work/$target" findings="$build/fuzz/findings/$target"
  mkdir -p "$work" "$findings"
  local log="$build/fuzz/$target.log" started=$SECONDS
  set +e
  # The targets keep one instance across inputs, so memory held from one input to the next
  # is no leak; leaks are still looked for when the run ends.
  "$build/fuzz/vorlak_fuzz_$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=4096 \
    -detect_leaks=0 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$@" "$work" "$here/corpus/$target" \
    >"$log" 2>&1
  local status=$?
  set -e
  local executions elapsed=$((SECONDS - started))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  echo "fuzz $target: ${executions:-?} executions in ${elapsed} s, exit status $status"
  if [ "$status" -ne 0 ]; then
    tail -60 "$log"
    return 1
  fi
}

case "$mode" in
  smoke)
    seconds="${3:-20}"
    passed=0
    failed=0
    for target in "${targets[@]}"; do
      # A fixed seed: the same inputs every time, so that a check passes or fails for the code.
      if run_target "$target" "$seconds" -seed=1; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    done
    echo "fuzz smoke: $passed passed, $failed failed"
    [ "$failed" -eq 0 ]
    ;;
  long)
    run_target "$3" "$4"
    ;;
  runs)
    # No time limit: the count ends the run.
    run_target "$3" 0 -runs="$4"
    ;;
  merge)
    target="$3"
    mkdir -p "$here/corpus/$target" "$build/fuzz/work/$target"
    # Edges only, without hit counts: one input per newly reached edge keeps the corpus small.
    "$build/fuzz/vorlak_fuzz_$target" -merge=1 -use_counters=0 "$here/corpus/$target" \
      "$build/fuzz/work/$target"
    ls "$here/corpus/$target" | wc -l
    ;;
  *)
    echo "usage: $0 BUILD smoke [SECONDS] | long TARGET SECONDS | runs TARGET COUNT | merge TARGET" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Instructions per output sample (one frame at 44.1 kHz) of the six-voice string pass, of STK's
# Guitar with six strings and of a whole instance playing a strummed phrase, counted with
# valgrind --tool=callgrind. Instruction counts do not depend on the machine's load, so they
# compare well on a shared machine where seconds do not.
#
# Each scene runs twice, with 0 seconds and with SECONDS seconds of audio; the difference of
# the two totals divided by the frames rendered leaves the set-up out.
#
#   bench/instruction_cost.sh [path/to/vorlak_string_cost] [seconds] [scene...]
#
# The executable defaults to build/bench/vorlak_string_cost, seconds to 10 and the scenes to
# "strings stk instance". Every mode of vorlak_string_cost is a scene: instance-dry is the
# instance with the "Dry" amplifier and cabinet and no effect; instance-fx0 and instance-fx8
# the "Tube" amplifier and "StaX" cabinet without an effect and with the heaviest one
# ("AMP:Talkbox", with "MST:Leslie" as instance-fx12 a close second). Needs valgrind (Debian:
# apt-get install valgrind). The callgrind files are kept in a temporary folder whose name is
# printed, for callgrind_annotate; bench/stage_cost.py splits such counts by stage.
set -euo pipefail

program=${1:-build/bench/vorlak_string_cost}
seconds=${2:-10}
shift $(($# < 2 ? $# : 2))
scenes=("$@")
[ ${#scenes[@]} -eq 0 ] && scenes=(strings stk instance)

command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 1; }
[ -x "$program" ] || { echo "no executable at $program" >&2; exit 1; }

out=$(mktemp -d "${TMPDIR:-/tmp}/vorlak-callgrind.XXXXXX")
frames=$(awk -v s="$seconds" 'BEGIN { printf "%.0f", s * 44100 }')
[ "$frames" -gt 0 ] || { echo "seconds must be above 0" >&2; exit 1; }

# Total instructions of one run: the "summary:" line of its callgrind file.
count() {
  local scene=$1 length=$2 file="$out/$1-$2.callgrind"
  valgrind --tool=callgrind --callgrind-out-file="$file" "$program" "$scene" "$length" \
    >"$out/$scene-$length.log" 2>&1 || { cat "$out/$scene-$length.log" >&2; exit 1; }
  awk '/^summary:/ { print $2 }' "$file"
}

printf '%-10s %16s %16s %12s\n' scene "Ir (0 s)" "Ir ($seconds s)" "Ir/sample"
for scene in "${scenes[@]}"; do
  base=$(count "$scene" 0)
  full=$(count "$scene" "$seconds")
  awk -v s="$scene" -v b="$base" -v f="$full" -v n="$frames" \
    'BEGIN { printf "%-10s %16d %16d %12.1f\n", s, b, f, (f - b) / n }'
done
echo "callgrind files: $out"

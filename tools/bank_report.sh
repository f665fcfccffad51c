#!/usr/bin/env bash
# Renders the demo phrase in every program of the bank and prints a Markdown table of what
# vorlak-render measures in each file: integrated loudness, loudness range, sample peak and
# true peak. The files are 32-bit float, so peaks above full scale show as they are.
#
#   tools/bank_report.sh [BUILD_DIR] [vorlak-render options...]
#
# BUILD_DIR defaults to build; further options (say -r 48000) go to every render.
set -euo pipefail
build=${1:-build}
[ $# -gt 0 ] && shift
render="$build/vorlak-render"
[ -x "$render" ] || { echo "bank_report.sh: no $render (build it first)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "| program | integrated | range | sample peak | true peak |"
echo "|---|---:|---:|---:|---:|"
"$render" --list-programs > "$work/programs"
while read -r number name; do
  if ! summary=$("$render" -p "$number" --float -o "$work/program.wav" "$@" 2>&1 >/dev/null); then
    echo "bank_report.sh: program $number: $summary" >&2
    exit 1
  fi
  # "vorlak-render: 27.22 s, integrated -15.5 LUFS, loudness range 1.7 LU,
  #  sample peak -6.0 dBFS, true peak -5.9 dBTP"
  line=$(grep -m1 ' LUFS, ' <<< "$summary") || { echo "bank_report.sh: $summary" >&2; exit 1; }
  read -r lufs range sample true < <(sed -E 's/.*integrated (\S+) LUFS, loudness range (\S+) LU, sample peak (\S+) dBFS, true peak (\S+) dBTP.*/\1 \2 \3 \4/' <<< "$line")
  echo "| $number $name | $lufs LUFS | $range LU | $sample dBFS | $true dBTP |"
done < "$work/programs"

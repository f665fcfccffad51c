#!/usr/bin/env python3
"""Instructions per output sample by stage: the string pass's excitation, its two loops and its
pickup comb and output filter, the amplifier, the cabinet, the resonator and output voicing, the
chain's filter design, and whatever remains (render loop, events, the host's calls).

  bench/stage_cost.py [--program build-prof/bench/vorlak_string_cost] [--seconds 4]
                      [--source .] scene...

Like instruction_cost.sh it counts with callgrind a run of 0 seconds and one of SECONDS seconds
of every scene of vorlak_string_cost and divides the difference by the frames rendered. The
program must carry line tables (a build with -g added; -g leaves the code itself as it is):
each source line's count goes to the stage its text belongs to, by the rules below, and the
filter design is designBiquad with all it calls. The biquad step is shared by the amplifier's
three equaliser bands and the two voicing shelves of the output, so its lines are split 3 : 2.
The effects are one function each, inlined into the chain; their cost is best read as the
difference between instance-fxN and instance-fx0 (instruction_cost.sh).
"""
import argparse
import os
import re
import subprocess
import sys
import tempfile

STAGES = ["excitation", "two loops", "pickup comb and output filter", "string pass, rest",
          "amplifier", "cabinet", "resonator and output voicing", "filter design", "other"]

# Per file: (stage, pattern) tried in order on each line's text; the first match wins.
STRING_RULES = [
    ("pickup comb and output filter",
     r"history|outY|tap1|tap2|\bh1\b|\bh2\b|\blow\b|\bband\b|\bhigh\b|makeUpGain|storeLanes|"
     r"const (float|Floats) s ="),
    ("excitation",
     r"approach|nextNoise|table\[|position|tableEnd|exhausted|fretPhase|fretAmp|fretState|buzz|"
     r"draws|sounds|\bdirect\b|first\[v\]|second\[v\]|sampled|reading|inside|"
     r"whole = __builtin|const Floats f =|float e = kTiny|Floats e = splat|e = \(|e = L\.noise|"
     r"e = on|if \(exciting\)|if \(!table\)|value [<>+-]|up <|down >|const Floats (up|down)"),
    ("two loops",
     r"writeA|writeB|readLine|\bx[AB]\b|\bfb\b|\bin[AB]\b|state[AB]|line[AB]|pair[AB]|"
     r"\b[ab][01]\b|float y =|Floats y =|releaseTime|y \*= amp|y = L\.released|y = clampAbs|"
     r"clampAbs|return x <|below|negativeLimit >|line\[\(write|feedback\[|if \(released\)|"
     r"L\.released"),
]
CHAIN_RULES = [
    ("cabinet", r"ladder|cabinet|reflect|cab\.|const float q ="),
    ("resonator and output voicing",
     r"resonator|writePos|voicing|highpass|outputGain|\] = out;|const float out ="),
    ("amplifier",
     r"ampStage|\bamp\.|equalise|softClip|tone\[|bandStage|inputHighpass|const float u =|"
     r"return y3|const float a = s\.alpha|const float fb ="),
]
FILE_STAGES = {
    "amplifier.cpp": "amplifier",
    "amplifier.h": "amplifier",
    "table_sin.h": "amplifier",
    "cabinet.cpp": "cabinet",
    "ladder_filter.h": "cabinet",
    "state_variable.h": "resonator and output voicing",
    # The string lanes' SSE2 loads and shuffles of the loops' taps.
    "emmintrin.h": "two loops",
    "xmmintrin.h": "two loops",
}


def line_stage(path, text):
    name = os.path.basename(path)
    if name in FILE_STAGES:
        return FILE_STAGES[name]
    if name in ("string_model.cpp", "string_lanes.h"):
        for stage, pattern in STRING_RULES:
            if re.search(pattern, text):
                return stage
        return "string pass, rest"
    if name == "pickup.cpp":
        return "string pass, rest"
    if name == "signal_chain.cpp":
        for stage, pattern in CHAIN_RULES:
            if re.search(pattern, text):
                return stage
    return None


def count(value):
    return int(value.replace(",", ""))


def stage_costs(callgrind_file, source="."):
    """Instructions by stage, and the program total, of one callgrind file whose program was
    built from the sources in the folder source."""
    out = subprocess.run(["callgrind_annotate", "--auto=yes", "--show-percs=no", callgrind_file],
                         capture_output=True, text=True, check=True, cwd=source).stdout
    costs = dict.fromkeys(STAGES, 0.0)
    total = 0
    annotated = None
    line = re.compile(r"^\s*([\d,]+|\.)\s(.*)$")
    for row in out.splitlines():
        if row.startswith("-- Auto-annotated source:"):
            annotated = row.split(":", 1)[1].strip()
            continue
        if row.startswith("-- ") or annotated is None:
            m = re.match(r"^\s*([\d,]+)\s+PROGRAM TOTALS", row)
            if m:
                total = count(m.group(1))
            continue
        m = line.match(row)
        if not m or m.group(1) == "." or "=>" in m.group(2)[:8] or "events annotated" in row:
            continue
        text = m.group(2)
        if os.path.basename(annotated) == "biquad.h":
            costs["amplifier"] += count(m.group(1)) * 3 / 5
            costs["resonator and output voicing"] += count(m.group(1)) * 2 / 5
            continue
        stage = line_stage(annotated, text)
        if stage:
            costs[stage] += count(m.group(1))
    inclusive = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--show-percs=no",
                                callgrind_file], capture_output=True, text=True, check=True,
                               cwd=source).stdout
    for row in inclusive.splitlines():
        m = re.match(r"^\s*([\d,]+)\s+\S*:vorlak::designBiquad\(", row)
        if m:
            costs["filter design"] += count(m.group(1))
    costs["other"] = total - sum(v for k, v in costs.items() if k != "other")
    return costs


def run(program, scene, seconds, folder, source):
    path = os.path.join(folder, "%s-%s.callgrind" % (scene, seconds))
    with open(path + ".log", "w") as log:
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + path, program,
                        scene, str(seconds)], stdout=log, stderr=log, check=True)
    return stage_costs(path, source)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", default="build-prof/bench/vorlak_string_cost")
    parser.add_argument("--seconds", type=float, default=4.0)
    parser.add_argument("--source", default=".", help="the sources the program was built from")
    parser.add_argument("scenes", nargs="*", default=["strings", "instance-dry", "instance-fx0"])
    args = parser.parse_args()
    if not os.access(args.program, os.X_OK):
        print("no executable at %s" % args.program, file=sys.stderr)
        return 1
    frames = round(args.seconds * 44100)
    folder = tempfile.mkdtemp(prefix="vorlak-stages.")
    print("%-32s" % "Ir/sample" + "".join("%14s" % s for s in args.scenes))
    results = []
    for scene in args.scenes:
        base = run(args.program, scene, 0, folder, args.source)
        full = run(args.program, scene, args.seconds, folder, args.source)
        results.append({s: (full[s] - base[s]) / frames for s in STAGES})
    for stage in STAGES:
        print("%-32s" % stage + "".join("%14.1f" % r[stage] for r in results))
    print("%-32s" % "whole" + "".join("%14.1f" % sum(r.values()) for r in results))
    print("callgrind files: " + folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())

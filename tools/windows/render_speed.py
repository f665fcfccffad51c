#!/usr/bin/env python3
"""Benchmark, not a test: how fast each factory program renders through vorlak.dll under Wine
against vorlak.so on Linux, timed as whole processes by hyperfine, all four of a program's
commands side by side in one hyperfine run.

  tools/windows/render_speed.py [--linux-build build] [--windows-build build-win]
                                [--runs 5] [--rate 44100] [--stretch 4] [--programs 0-63]

Each side plays the demo phrase in the program twice: at its tempo (29 s of sound), and
stretched to a quarter of it (four times as long, the same notes held longer). A process's
time includes its start (Wine's takes a tenth of a second), loading the module and the
instance's set-up; the difference between the two renders is the render of the extra sound
alone. The table gives Linux time over Wine time, so 1 is as fast as on Linux and 0.5 half as
fast: of the whole process at the phrase's tempo, and of the render alone, whose slowest
programs close the report. Needs hyperfine (Debian package hyperfine) and Wine.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile

from factory_programs import program_names, program_range

TEMPO = 120  # the demo phrase's own


def wine_command(windows_build):
    cache = os.path.join(windows_build, "CMakeCache.txt")
    values = {}
    with open(cache) as f:
        for line in f:
            name, _, value = line.strip().partition("=")
            values[name.partition(":")[0]] = value
    env = ["env", "WINEPREFIX=" + values["VORLAK_WINEPREFIX"], "WINEDEBUG=-all",
           "WINEDLLOVERRIDES=mscoree,mshtml="]
    return env + [values["VORLAK_WINE"]]


def hyperfine(commands, runs, scratch):
    """Median seconds of each command, measured in one hyperfine run."""
    out = os.path.join(scratch, "times.json")
    subprocess.run(["hyperfine", "-N", "--style", "none", "--warmup", "1", "--runs", str(runs),
                    "--export-json", out] + [" ".join(c) for c in commands],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(out) as f:
        return [r["median"] for r in json.load(f)["results"]]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux-build", default="build")
    parser.add_argument("--windows-build", default="build-win")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rate", type=int, default=44100)
    parser.add_argument("--stretch", type=float, default=4.0)
    parser.add_argument("--programs", default="0-63")
    args = parser.parse_args()
    if not shutil.which("hyperfine"):
        print("render_speed: needs hyperfine (apt-get install hyperfine)")
        return 1

    linux = [os.path.abspath(os.path.join(args.linux_build, "vorlak-render"))]
    wine = wine_command(args.windows_build) + [
        os.path.abspath(os.path.join(args.windows_build, "vorlak-render.exe"))]
    names = program_names(linux)
    programs = program_range(args.programs)
    slow_tempo = "%g" % (TEMPO / args.stretch)

    with tempfile.TemporaryDirectory() as scratch:
        wav = os.path.join(scratch, "out.wav")
        longer = "%gx s" % args.stretch
        print("%-3s %-28s %8s %8s %8s %8s %7s %7s" % (
            "#", "program", "Linux s", "Wine s", "Linux " + longer, "Wine " + longer, "process",
            "render"))
        ratios = []
        for program in programs:
            options = ["-p", str(program), "-r", str(args.rate), "--float", "--quiet", "-o", wav]
            stretched = options + ["-t", slow_tempo]
            linux_s, linux_long, wine_s, wine_long = hyperfine(
                [linux + options, linux + stretched, wine + options, wine + stretched],
                args.runs, scratch)
            render = (linux_long - linux_s) / max(wine_long - wine_s, 1e-6)
            ratios.append((render, program))
            print("%-3d %-28s %8.3f %8.3f %8.3f %8.3f %7.2f %7.2f" % (
                program, names.get(program, "?"), linux_s, wine_s, linux_long, wine_long,
                linux_s / wine_s, render), flush=True)
    ratios.sort()
    print("slowest renders under Wine (Linux time over Wine time): " +
          ", ".join("%d %.2f" % (p, r) for r, p in ratios[:8]))
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Benchmark, not a test: how fast each factory program renders the demo phrase through
vorlak.dll under Wine against vorlak.so on Linux, timed as whole processes by hyperfine, the two
side by side in one hyperfine run per program.

  tools/windows/render_speed.py [--linux-build build] [--windows-build build-win]
                                [--runs 5] [--rate 44100] [--programs 0-63]

A process's time includes its start (Wine's takes some tenths of a second) and the instance's
set-up. Both are measured in the same run, as the same processes listing the programs instead
of rendering, and the table gives the speed ratio as measured and with that taken off each side:
Linux time over Wine time, so 1 is as fast as on Linux and 0.5 half as fast. Needs hyperfine
(Debian package hyperfine) and Wine.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile


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
    """Mean seconds of each command, measured in one hyperfine run."""
    out = os.path.join(scratch, "times.json")
    subprocess.run(["hyperfine", "--style", "none", "--warmup", "1", "--runs", str(runs),
                    "--export-json", out] + [" ".join(c) for c in commands],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(out) as f:
        return [r["mean"] for r in json.load(f)["results"]]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux-build", default="build")
    parser.add_argument("--windows-build", default="build-win")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--rate", type=int, default=44100)
    parser.add_argument("--programs", default="0-63")
    args = parser.parse_args()
    if not shutil.which("hyperfine"):
        print("render_speed: needs hyperfine (apt-get install hyperfine)")
        return 1

    linux = [os.path.abspath(os.path.join(args.linux_build, "vorlak-render"))]
    wine = wine_command(args.windows_build) + [
        os.path.abspath(os.path.join(args.windows_build, "vorlak-render.exe"))]
    listing = subprocess.run(linux + ["--list-programs"], capture_output=True, text=True,
                             check=True).stdout
    names = {}
    for line in listing.splitlines():
        number, _, name = line.strip().partition("  ")
        names[int(number)] = name.strip()
    first, _, last = args.programs.partition("-")
    programs = range(int(first), int(last or first) + 1)

    with tempfile.TemporaryDirectory() as scratch:
        wav = os.path.join(scratch, "out.wav")
        print("%-3s %-28s %9s %9s %7s %9s" % ("#", "program", "Linux s", "Wine s", "ratio",
                                              "w/o start"))
        ratios = []
        for program in programs:
            options = ["-p", str(program), "-r", str(args.rate), "--float", "-o", wav]
            # The start-up in the same run as the renders, since the machine's load drifts.
            linux_s, wine_s, linux_start, wine_start = hyperfine(
                [linux + options, wine + options, linux + ["--list-programs"],
                 wine + ["--list-programs"]], args.runs, scratch)
            net = (linux_s - linux_start) / max(wine_s - wine_start, 1e-6)
            ratios.append((net, program))
            print("%-3d %-28s %9.3f %9.3f %7.2f %9.2f" % (program, names.get(program, "?"),
                                                         linux_s, wine_s, linux_s / wine_s, net),
                  flush=True)
    ratios.sort()
    print("slowest under Wine (ratio without start-up): " +
          ", ".join("%d %.2f" % (p, r) for r, p in ratios[:8]))
    return 0


if __name__ == "__main__":
    sys.exit(main())

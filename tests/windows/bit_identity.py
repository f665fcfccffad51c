#!/usr/bin/env python3
"""Every factory program renders the demo phrase with the same bits from vorlak.dll under Wine
as from vorlak.so on Linux, at 44.1 and 96 kHz: vorlak-render of each build plays the phrase in
the program (32-bit float samples) and the two files' sample data are compared byte for byte.

  bit_identity.py --linux-build DIR --windows-render EXE --work DIR -- WINE-COMMAND...

Prints each program and rate whose renders differ, with how far, and closes with the count of
identical and differing renders. Exits 1 when any differs.
"""
import argparse
import array
import concurrent.futures
import operator
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..",
                                "tools", "windows"))
from factory_programs import program_names, program_range  # noqa: E402


def sample_data(path):
    """The bytes of a WAV file's data chunk."""
    with open(path, "rb") as f:
        b = f.read()
    if b[:4] != b"RIFF" or b[8:12] != b"WAVE":
        raise ValueError(path + " is not a WAV file")
    i = 12
    while i + 8 <= len(b):
        size = int.from_bytes(b[i + 4:i + 8], "little")
        if b[i:i + 4] == b"data":
            return b[i + 8:i + 8 + size]
        i += 8 + size + (size & 1)
    raise ValueError(path + " has no data chunk")


def difference(expected, got):
    """None when identical, else a line on how the float samples differ."""
    if expected == got:
        return None
    if len(expected) != len(got):
        return "%d samples where %d were expected" % (len(got) // 4, len(expected) // 4)
    a = array.array("f")
    a.frombytes(expected)
    b = array.array("f")
    b.frombytes(got)
    if sys.byteorder != "little":
        a.byteswap()
        b.byteswap()
    # Built-in maps rather than a loop: a render has millions of samples.
    diffs = list(map(operator.sub, a, b))
    count = len(diffs) - diffs.count(0.0)
    largest = max(map(abs, diffs))
    squares = sum(map(operator.mul, diffs, diffs))
    peak = max(max(map(abs, a)), 1e-30)
    energy = max(sum(map(operator.mul, a, a)), 1e-30)
    return ("%d of %d samples differ, largest by %.3g (%.2g of the peak), relative RMS "
            "difference %.2g" % (count, len(a), largest, largest / peak, (squares / energy) ** 0.5))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--linux-build", required=True)
    parser.add_argument("--windows-render", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--rates", default="44100,96000")
    parser.add_argument("--programs", default="0-63")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("wine", nargs="+", help="the command that runs a Windows program")
    args = parser.parse_args()

    linux_render = os.path.join(args.linux_build, "vorlak-render")
    if not args.linux_build or not os.access(linux_render, os.X_OK):
        print("FAIL: no vorlak-render in the Linux build '%s' (set VORLAK_LINUX_BUILD_DIR)"
              % args.linux_build)
        return 1
    names = program_names([linux_render])
    programs = program_range(args.programs)
    rates = [int(r) for r in args.rates.split(",")]
    os.makedirs(args.work, exist_ok=True)

    def check(program, rate):
        stem = os.path.join(args.work, "%d-%d" % (program, rate))
        options = ["-p", str(program), "-r", str(rate), "--float", "--quiet"]
        outputs = (stem + "-linux.wav", stem + "-windows.wav")
        try:
            subprocess.run([linux_render] + options + ["-o", outputs[0]], check=True,
                           stdout=subprocess.DEVNULL)
            subprocess.run(args.wine + [args.windows_render] + options + ["-o", outputs[1]],
                           check=True, stdout=subprocess.DEVNULL)
            return difference(sample_data(outputs[0]), sample_data(outputs[1]))
        except (subprocess.CalledProcessError, ValueError, OSError) as error:
            return "no comparison: %s" % error
        finally:
            for path in outputs:
                if os.path.exists(path):
                    os.remove(path)

    jobs = [(p, r) for r in rates for p in programs]
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
        for (program, rate), result in zip(jobs, pool.map(lambda job: check(*job), jobs)):
            if result is not None:
                failed += 1
                print('program %2d "%s" at %d Hz: %s' % (program, names.get(program, "?"), rate,
                                                        result), flush=True)
    print("bit identity: %d passed, %d failed" % (len(jobs) - failed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/env python3
"""Synthesises the fifteen excitation samples into engine/data/excitation-<slot>.bin.

Each sample is a pluck or slap transient at 44.1 kHz: the pick, finger or thumb pushes the
string away (a rising displacement with a little contact noise and leftover ringing), lets
go at the peak (a short release snap), and the string rings on as a few inharmonic partials
with a filtered-noise click, decaying towards the end. Every file then meets its fixed
length, opening values and peak exactly; the opening values are blended into the waveform
and the end is faded out so that neither joint clicks.

File format: int16 little-endian count N, then N int16 little-endian values (full scale
+/-32767). Deterministic: every slot has its own fixed seed.

Usage: gen_excitation.py [output-dir]   (default: engine/data beside this tools/ folder)
"""

import math
import os
import random
import struct
import sys

RATE = 44100.0
FULL_SCALE = 32767

# slot: (N, first four values, peak position, peak value)
TABLE = {
    1: (2245, (0, -3, 1, -6), 2138, 32767),
    7: (1853, (451, 525, 649, 719), 225, -32761),
    14: (1860, (-23, -499, -997, -683), 1005, -30978),
    15: (1887, (390, 491, 447, 316), 1185, 30031),
    16: (1889, (-208, -164, 126, 495), 909, -27761),
    17: (1513, (-853, -242, 832, 3167), 342, -29495),
    18: (1122, (-487, -999, -805, -4), 649, 29016),
    19: (1453, (1621, 1713, 1737, 1885), 359, -32765),
    20: (1293, (397, 433, 526, 626), 246, -30959),
    21: (1542, (232, 141, 18, -169), 412, 32767),
    22: (903, (518, 565, 588, 490), 174, -31028),
    24: (1959, (31, 37, -142, -287), 1468, 32767),
    26: (1660, (301, 288, 293, 308), 443, 29567),
    27: (1617, (388, 439, 441, 416), 318, -30707),
    28: (4010, (-1491, -1481, -1498, -1535), 703, -32762),
}


def note_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


# Sound of each slot.
#   note      pitch of the ringing string (the middle of the slot's note range)
#   inharm    stiffness coefficient B: partial k sits at k f0 sqrt(1 + B k^2)
#   tilt      partial amplitudes fall as 1/k^tilt (lower is brighter)
#   pluck     plucking point as a fraction of the string (shapes the comb of partials)
#   decay     decay time of the fundamental, seconds; higher partials die faster
#   pull      seconds over which the string is pushed away before it is let go
#   curve     exponent of that push (higher: slow start, sharp final slip)
#   ring      leftover ringing before the push, fraction of the peak
#   snap      share of the peak carried by the release snap (the rest by the string)
#   width     width of the release snap in samples
#   click     level, centre frequency, Q and decay time of the noise click after release
#   scrape    level of contact noise before release (pick or fingertip on the string)
#   thump     low body knock of a slap: level and frequency (0 for plucks)
#   fret      slap against the frets: level, frequencies and decay (0 for plucks)
VOICES = {
    # "6String3": a fingered pluck; a long, slow push and a soft snap.
    1: dict(note=50, inharm=0.00008, tilt=2.1, pluck=0.18, decay=0.0017, pull=0.030,
            curve=3.0, ring=0.0, snap=0.25, width=1.5, click=(0.05, 2500.0, 0.8, 0.0005),
            scrape=0.004, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    # "Ebass": a finger pluck on a low string with a dull knock.
    7: dict(note=33, inharm=0.0003, tilt=2, pluck=0.15, decay=0.0196, pull=0.0051,
            curve=1.8, ring=0.0, snap=0.25, width=1.6, click=(0.06, 1500.0, 0.8, 0.0012),
            scrape=0.01, thump=(0.12, 70.0), fret=(0.0, (), 0.0)),
    # "6String1", five note ranges, brighter towards the top.
    14: dict(note=43, inharm=0.0001, tilt=2.2, pluck=0.2, decay=0.0126, pull=0.012,
             curve=2.2, ring=0.02, snap=0.24, width=1.5, click=(0.07, 3000.0, 0.9, 0.0008),
             scrape=0.01, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    15: dict(note=55, inharm=0.0001, tilt=2.05, pluck=0.2, decay=0.0105, pull=0.011,
             curve=2.2, ring=0.02, snap=0.24, width=1.45, click=(0.07, 3500.0, 0.9, 0.0008),
             scrape=0.01, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    16: dict(note=65, inharm=0.00012, tilt=1.9, pluck=0.2, decay=0.0095, pull=0.009,
             curve=2.2, ring=0.03, snap=0.2, width=1.7, click=(0.08, 4000.0, 1.0, 0.0007),
             scrape=0.012, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    17: dict(note=75, inharm=0.00015, tilt=1.75, pluck=0.2, decay=0.0077, pull=0.0075,
             curve=2.2, ring=0.03, snap=0.2, width=1.5, click=(0.09, 5000.0, 1.0, 0.0006),
             scrape=0.015, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    18: dict(note=86, inharm=0.0002, tilt=1.6, pluck=0.2, decay=0.0045, pull=0.006,
             curve=2.2, ring=0.03, snap=0.2, width=1.3, click=(0.1, 6000.0, 1.1, 0.0005),
             scrape=0.015, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    # "6String2": a second guitar, picked nearer the bridge, so a thinner, brighter attack.
    19: dict(note=43, inharm=0.0001, tilt=2, pluck=0.12, decay=0.0119, pull=0.008,
             curve=2.0, ring=0.0, snap=0.22, width=1.8, click=(0.08, 3200.0, 0.9, 0.0008),
             scrape=0.012, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    20: dict(note=55, inharm=0.0001, tilt=1.9, pluck=0.12, decay=0.0105, pull=0.0056,
             curve=2.0, ring=0.0, snap=0.22, width=1.7, click=(0.08, 3800.0, 0.9, 0.0007),
             scrape=0.012, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    21: dict(note=65, inharm=0.00012, tilt=1.8, pluck=0.12, decay=0.0115, pull=0.0093,
             curve=2.0, ring=0.02, snap=0.22, width=1.6, click=(0.09, 4500.0, 1.0, 0.0006),
             scrape=0.014, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    22: dict(note=76, inharm=0.00015, tilt=1.65, pluck=0.12, decay=0.0067, pull=0.0039,
             curve=2.0, ring=0.0, snap=0.22, width=1.4, click=(0.1, 5500.0, 1.0, 0.0005),
             scrape=0.015, thump=(0.0, 0.0), fret=(0.0, (), 0.0)),
    # "Fretless": a slow, deep finger pull, warm and with hardly any click.
    24: dict(note=33, inharm=0.0002, tilt=2.5, pluck=0.22, decay=0.0063, pull=0.022,
             curve=2.6, ring=0.0, snap=0.24, width=1.7, click=(0.03, 1200.0, 0.7, 0.0015),
             scrape=0.004, thump=(0.1, 60.0), fret=(0.0, (), 0.0)),
    # "Slap": the thumb knocks the string onto the frets: a low thump plus a metallic snap.
    26: dict(note=33, inharm=0.0003, tilt=1.8, pluck=0.1, decay=0.0154, pull=0.006,
             curve=2.5, ring=0.0, snap=0.22, width=1.6, click=(0.1, 3500.0, 1.2, 0.001),
             scrape=0.01, thump=(0.25, 55.0), fret=(0.12, (2150.0, 3320.0, 4780.0), 0.0025)),
    27: dict(note=33, inharm=0.0003, tilt=2, pluck=0.1, decay=0.0154, pull=0.0072,
             curve=2.5, ring=0.0, snap=0.2, width=1.8, click=(0.08, 3000.0, 1.1, 0.0009),
             scrape=0.008, thump=(0.25, 55.0), fret=(0.08, (2150.0, 3320.0, 4780.0), 0.002)),
    28: dict(note=28, inharm=0.0003, tilt=1.7, pluck=0.1, decay=0.035, pull=0.016,
             curve=3.0, ring=0.0, snap=0.22, width=1.5, click=(0.12, 4000.0, 1.3, 0.0012),
             scrape=0.012, thump=(0.3, 48.0), fret=(0.14, (1980.0, 3070.0, 4410.0, 6120.0),
                                                 0.004)),
}

BLEND = 32  # samples over which the fixed opening values hand over to the waveform
MARGIN = 0.985  # every other sample stays below this fraction of the peak's magnitude


def resonator(signal, hz, q):
    """Two-pole band-pass: a centred noise burst clicks like a pick instead of hissing."""
    w = 2.0 * math.pi * hz / RATE
    r = math.exp(-w / (2.0 * q))
    a1 = 2.0 * r * math.cos(w)
    a2 = -r * r
    gain = 1.0 - r
    y1 = y2 = 0.0
    out = []
    for x in signal:
        y = gain * x + a1 * y1 + a2 * y2
        out.append(y)
        y2, y1 = y1, y
    return out


def normalise(signal):
    peak = max(abs(v) for v in signal) or 1.0
    return [v / peak for v in signal]


def string_partials(voice, count, rng):
    """Decaying partials of the released string, all at their crest at the moment of release."""
    f0 = note_hz(voice["note"])
    partials = []
    k = 1
    while len(partials) < 24:
        f = k * f0 * math.sqrt(1.0 + voice["inharm"] * k * k)
        if f > 9000.0:
            break
        amp = abs(math.sin(math.pi * k * voice["pluck"])) / k ** voice["tilt"]
        tau = voice["decay"] / (1.0 + 0.35 * (k - 1) * f0 / 150.0)
        # A slight spread of the decays keeps the sum from sounding synthetic.
        tau *= 0.85 + 0.3 * rng.random()
        partials.append((f, amp, tau))
        k += 1
    total = sum(a for _, a, _ in partials)
    out = []
    for n in range(count):
        t = n / RATE
        out.append(sum(a * math.cos(2.0 * math.pi * f * t) * math.exp(-t / tau)
                       for f, a, tau in partials) / total)
    return out


def synthesise(slot):
    count, head, peak_pos, peak_value = TABLE[slot]
    voice = VOICES[slot]
    rng = random.Random(1000 + slot)
    sign = 1.0 if peak_value > 0 else -1.0
    level = abs(peak_value)
    thump_level, thump_hz = voice["thump"]
    body = level * (1.0 - voice["snap"] - thump_level)
    after = count - peak_pos

    x = [0.0] * count

    # Before release: the push, the leftover ringing and the contact noise.
    pull = max(8, min(peak_pos, int(voice["pull"] * RATE)))
    pull_start = peak_pos - pull
    start_level = sum(head) / 4.0
    settle = max(16.0, 0.3 * peak_pos)
    f0 = note_hz(voice["note"])
    ring_phase = rng.random() * 2.0 * math.pi
    scrape = normalise(resonator([rng.uniform(-1.0, 1.0) for _ in range(peak_pos)],
                                 voice["click"][1] * 0.7, 0.7))
    for n in range(peak_pos):
        u = max(0.0, (n - pull_start) / pull)
        push = sign * body * u ** voice["curve"]
        drift = start_level * math.exp(-n / settle)
        t = n / RATE
        ring = voice["ring"] * level * (1.0 - u) * (
            math.sin(2.0 * math.pi * f0 * t + ring_phase)
            + 0.4 * math.sin(2.0 * math.pi * 2.01 * f0 * t + 2.0 * ring_phase))
        contact = voice["scrape"] * level * scrape[n] * (0.3 + 2.8 * u * (1.0 - u))
        x[n] = push + drift + ring + contact

    # The released string.
    strings = string_partials(voice, after, rng)
    for i in range(after):
        x[peak_pos + i] = sign * body * strings[i]

    # A slap's knock: a quarter cycle of a low frequency leads into the release, then a
    # dying swing follows it.
    if thump_level > 0.0:
        lead = int(RATE / (4.0 * thump_hz))
        for i in range(max(-lead, -peak_pos), after):
            t = i / RATE
            env = math.cos(0.5 * math.pi * i / lead) if i < 0 else \
                math.exp(-t / 0.012) * math.cos(2.0 * math.pi * thump_hz * t)
            x[peak_pos + i] += sign * thump_level * level * env

    # The release itself: a short snap centred on the peak.
    width = voice["width"]
    for n in range(max(0, peak_pos - 12), min(count, peak_pos + 13)):
        d = (n - peak_pos) / width
        x[n] += sign * level * voice["snap"] * math.exp(-0.5 * d * d)

    # The click of the pick, nail or thumb leaving the string.
    click_level, click_hz, click_q, click_tau = voice["click"]
    noise = normalise(resonator([rng.uniform(-1.0, 1.0) for _ in range(after)], click_hz, click_q))
    fret_level, fret_hz, fret_tau = voice["fret"]
    for i in range(1, after):
        t = i / RATE
        onset = 1.0 - math.exp(-i / 4.0)
        x[peak_pos + i] += click_level * level * noise[i] * onset * math.exp(-t / click_tau)
    # The string rebounds onto the frets a moment after it leaves the thumb.
    rebound = int(0.0008 * RATE)
    for i in range(rebound, after):
        t = (i - rebound) / RATE
        onset = 1.0 - math.exp(-t / 0.0002)
        for j, hz in enumerate(fret_hz):
            x[peak_pos + i] += fret_level * level / (j + 1) * onset * math.exp(-t / fret_tau) * \
                math.sin(2.0 * math.pi * hz * t)

    # Hand over from the fixed opening values: keep their motion going, easing it off.
    slope = (head[3] - head[0]) / 3.0
    for n in range(4, min(count, 4 + BLEND)):
        k = n - 3
        carried = head[3] + slope * 4.0 * (1.0 - math.exp(-k / 4.0))
        w = 0.5 - 0.5 * math.cos(math.pi * k / (BLEND + 1))
        x[n] = (1.0 - w) * carried + w * x[n]
    for n in range(4):
        x[n] = float(head[n])

    # The string pass switches to silence when a sample runs out, so end near zero.
    fade = max(16, min(int(0.004 * RATE), after // 2))
    for i in range(fade):
        n = count - fade + i
        x[n] *= 0.5 + 0.5 * math.cos(math.pi * (i + 1) / fade)

    values = [int(math.floor(v + 0.5)) for v in x]
    values[peak_pos] = peak_value
    for n in range(4):
        values[n] = head[n]
    check(slot, values)
    return values


def check(slot, values):
    """Refuses a waveform that misses its row or lets another sample crowd the peak."""
    count, head, peak_pos, peak_value = TABLE[slot]
    problems = []
    if len(values) != count:
        problems.append(f"{len(values)} values")
    if tuple(values[:4]) != head:
        problems.append(f"opens with {values[:4]}")
    if values[peak_pos] != peak_value:
        problems.append(f"peak {values[peak_pos]}")
    limit = MARGIN * abs(peak_value)
    for n, v in enumerate(values):
        if not -FULL_SCALE <= v <= FULL_SCALE:
            problems.append(f"sample {n} = {v} out of range")
        elif n != peak_pos and abs(v) > limit:
            problems.append(f"sample {n} = {v} crowds the peak")
    if problems:
        raise SystemExit(f"excitation-{slot}: " + "; ".join(problems[:5]))


def write(path, values):
    with open(path, "wb") as f:
        f.write(struct.pack(f"<h{len(values)}h", len(values), *values))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "engine", "data")
    os.makedirs(out_dir, exist_ok=True)
    total = 0
    for slot in sorted(TABLE):
        values = synthesise(slot)
        write(os.path.join(out_dir, f"excitation-{slot}.bin"), values)
        total += len(values)
    print(f"wrote {len(TABLE)} samples, {total} values, to {os.path.normpath(out_dir)}")


if __name__ == "__main__":
    main()

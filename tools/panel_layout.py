"""Where the editor's widgets sit on the 396 x 530 panel, and the words printed beside them.

Rectangles are (left, top, right, bottom) in panel pixels, right and bottom exclusive, exactly
as the editor places its widgets; the panel picture is drawn around them.
"""

PANEL_SIZE = (396, 530)

LOGO_AREA = (0, 0, 144, 38)
LOGO_PICTURE_AT = (16, 52)
BADGE = (63, 42, 135, 52)

PLAY_MODE_TEXT = (160, 17, 260, 25)
PLAY_MODE_CHARS = 12
EFFECT_TEXT = (113, 499, 256, 507)
EFFECT_CHARS = 20
GLYPH_ADVANCE = 7

PLAY_STEP_DOWN = (280, 7, 295, 21)
PLAY_STEP_UP = (280, 21, 295, 35)
EFFECT_STEP_DOWN = (279, 490, 294, 504)
EFFECT_STEP_UP = (279, 504, 294, 518)

LATCH_SWITCH = (349, 3, 385, 41)
GLISSANDO_SWITCH = (13, 204, 49, 242)

SLIDER = (167, 77, 370, 189)
SLIDER_HANDLE_SIZE = (23, 112)
SLIDER_TRAVEL = 180
OVERLAY_AT = (167, 94)
OVERLAY_SIZE = (213, 74)

HANDLE_SIZE = 5

# (rectangle, label, handle bitmap id); the handle orbits the centre at radius width/2 - 5.
KNOBS = [
    ((311, 5, 342, 36), "Timing", 136),
    ((126, 244, 164, 282), "Tone", 136),
    ((164, 216, 202, 254), "Slap", 136),
    ((205, 195, 243, 233), "Fret", 136),
    ((250, 192, 288, 230), "Harmonic", 136),
    ((310, 205, 348, 243), "Damp", 136),
    ((284, 182, 309, 207), "VelV", 136),
    ((343, 195, 368, 220), "VelD", 136),
]
KNOBS += [((123 + 42 * i, 338, 160 + 42 * i, 374), name, 137)
          for i, name in enumerate(["Drive", "Presence", "Feedback", "Low", "Mid", "High"])]
KNOBS += [((305, 491, 329, 515), "Par1", 137), ((342, 491, 366, 515), "Par2", 137)]


def radio_group(left, top, names):
    """Lamp rectangles of a column of choices, 12 pixels apart, with their labels."""
    return [((left, top + 12 * i, left + 10, top + 10 + 12 * i), name)
            for i, name in enumerate(names)]


INSTRUMENTS = radio_group(3, 87, ["Noise", "6String1", "6String2", "6String3", "Slap",
                                  "Ebass", "Fretless"])
COILS = radio_group(61, 87, ["None", "Single", "Double"])
AMPLIFIERS = radio_group(20, 348, ["Dry", "Tube", "EQ", "Bandpass"])
CABINETS = radio_group(75, 348, ["Dry", "British", "Combo", "StaX"])

# Lamp bitmap of each group, in the order above.
LAMP_IDS = (132, 133, 134, 135)
LABEL_SPACE = 40

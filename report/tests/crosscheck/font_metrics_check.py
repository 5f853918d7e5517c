#!/usr/bin/python3
"""Checks the report's font measures against the font files themselves.

Runs the dump program given as the first argument and compares, for the
installed Liberation faces and every CP1250 byte, its advances with
round(hmtx advance x em / unitsPerEm), its ascent and descent with the
OS/2 win metrics rounded up, and a few texts measured through the font
manager with sums computed from hmtx.
"""
import math
import subprocess
import sys

from fontTools.ttLib import TTFont

FONT_DIR = "/usr/share/fonts/truetype/liberation2/"
CZECH = "Příjmy Výdeje Zůstatek"


def rnd(x):
    return math.floor(x + 0.5)


def main():
    out = subprocess.run([sys.argv[1]], check=True, capture_output=True, text=True).stdout
    fonts = {}
    failures = []

    def font(key):
        if key not in fonts:
            f = TTFont(FONT_DIR + key + ".ttf")
            fonts[key] = (f, f.getBestCmap(), f["hmtx"].metrics, f["head"].unitsPerEm)
        return fonts[key]

    def design(key, char):
        f, cmap, hmtx, upm = font(key)
        glyph = cmap.get(ord(char), ".notdef")
        return hmtx[glyph][0], upm

    checked = 0
    for line in out.splitlines():
        parts = line.split()
        if parts[0] == "adv":
            key, px, code, adv = parts[1], int(parts[2]), int(parts[3]), int(parts[4])
            if code < 32:
                want = 0
            else:
                try:
                    char = bytes([code]).decode("cp1250")
                except UnicodeDecodeError:
                    continue  # no character at this byte
                a, upm = design(key, char)
                want = rnd(a * px / upm)
            checked += 1
            if adv != want:
                failures.append(f"{key} {px}px byte {code}: advance {adv}, hmtx gives {want}")
        elif parts[0] == "metrics":
            key, px, asc, desc, lead = parts[1], int(parts[2]), int(parts[3]), int(parts[4]), int(parts[5])
            f, _, _, upm = font(key)
            want_asc = math.ceil(f["OS/2"].usWinAscent * px / upm - 0.01)
            want_desc = math.ceil(f["OS/2"].usWinDescent * px / upm - 0.01)
            if (asc, desc, lead) != (want_asc, want_desc, want_asc + want_desc - px):
                failures.append(f"{key} {px}px: ascent/descent/leading {asc}/{desc}/{lead}, "
                                f"font gives {want_asc}/{want_desc}/{want_asc + want_desc - px}")
        elif parts[0] == "mono":
            a, ab = int(parts[2]), int(parts[4])
            if ab != 2 * a:
                failures.append(f"mono: AB {ab} is not twice A {a}")
        elif parts[0] == "czech600":
            units = sum(rnd(design("LiberationSans-Regular", c)[0] * 600 / design("LiberationSans-Regular", c)[1])
                        for c in CZECH)
            want = rnd(units * (83 * 72 / 600) * 600 / 43200)
            if int(parts[1]) != want:
                failures.append(f"Czech text at 600 dpi: {parts[1]}, hmtx gives {want}")
        elif parts[0] == "czech13":
            screen, report = int(parts[1]), int(parts[2])
            want = sum(rnd(design("LiberationSans-Regular", c)[0] * 13 / design("LiberationSans-Regular", c)[1])
                       for c in CZECH)
            if not screen == report == want:
                failures.append(f"Czech text at 13 px: screen {screen}, report {report}, hmtx {want}")
    for f in failures[:40]:
        print(f)
    print(f"{checked} advances checked, {len(failures)} differences")
    return 1 if failures or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())

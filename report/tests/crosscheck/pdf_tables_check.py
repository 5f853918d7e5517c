#!/usr/bin/python3
"""Checks the PDF renderer's committed font tables: regenerating them from
the installed AFM files gives the same bytes, the spot widths of the
standard core fonts hold, and every /Differences glyph name is the Adobe
glyph list's name of that CP1250 character.

Usage: pdf_tables_check.py SOURCE_DIR. Exits 77 (skipped) when the fonts
or fontTools are missing.
"""
import importlib.util
import os
import re
import sys

SOURCE = sys.argv[1]
AFM_DIR = "/usr/share/fonts/type1/urw-base35"
if not os.path.isdir(AFM_DIR) or importlib.util.find_spec("fontTools") is None:
    print("fonts-urw-base35 or python3-fonttools is not installed")
    sys.exit(77)

from fontTools import agl  # noqa: E402

sys.dont_write_bytecode = True  # nothing left behind in the source tree
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import gen_pdf_tables  # noqa: E402

committed = open(os.path.join(SOURCE, "report", "pdf_core14_tables.inc"), encoding="ascii").read()
problems = []
if gen_pdf_tables.generate(AFM_DIR) != committed:
    problems.append("pdf_core14_tables.inc differs from what the installed AFM files give")

tables = re.findall(r"// (F\d+) (\S+)\n    \{\n((?:        .*\n){16})    \}", committed)
widths = {name: [int(v) for v in re.findall(r"\d+", body)] for _, name, body in tables}
if len(widths) != 14 or any(len(w) != 256 for w in widths.values()):
    problems.append("expected 14 tables of 256 widths")
else:
    for name, w in widths.items():
        if name.startswith("Courier") and any(w[c] != (0 if 1 <= c <= 31 else 600) for c in range(256)):
            problems.append("%s: not 600 everywhere" % name)
        if any(w[c] for c in range(1, 32)):
            problems.append("%s: codes 1-31 not 0" % name)
    spots = [("Helvetica", " ", 278), ("Helvetica", "A", 667), ("Times-Roman", " ", 250),
             ("Helvetica", "Ř", 722), ("Times-Bold", "A", 722), ("Helvetica-Bold", "č", 556)]
    for name, ch, want in spots:
        got = widths[name][ch.encode("cp1250")[0]]
        if got != want:
            problems.append("%s %r: %d, not %d" % (name, ch, got, want))

for code, glyph in re.findall(r'\{0x([0-9A-F]{2}), "([^"]+)"\}', committed):
    code = int(code, 16)
    try:
        ch = bytes([code]).decode("cp1250")
    except UnicodeDecodeError:
        ch = None
    if ch is None:
        if glyph != ".notdef":
            problems.append("0x%02X undefined in CP1250 but named %s" % (code, glyph))
    elif agl.toUnicode(glyph) != ch:
        problems.append("0x%02X: %s is not %r" % (code, glyph, ch))
    elif bytes([code]).decode("cp1252", errors="replace") == ch:
        problems.append("0x%02X: the same in WinAnsi, listed anyway" % code)

for p in problems:
    print(p)
sys.exit(1 if problems else 0)

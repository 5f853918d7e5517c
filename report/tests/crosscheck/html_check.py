#!/usr/bin/python3
"""Checks the HTML pages of the report renderer with independent readers:
html5lib parses every page with the encoding it declares, PIL decodes the
colour GIFs and the JPEG pictures.

Usage: html_check.py DIR. DIR/expected.txt (UTF-8) lists what must be found,
one item a line:
  text:<T>       some DIV holds exactly the text T (blanks trimmed)
  noelement:<N>  no element named N anywhere
  url:<U>        every page's GPageURL string literal means U
  jpeg:<W> <H> <R> <G> <B>  the next JPEG picture (in page order) has this
                 size and about this mean colour
Every *.gif in DIR must be a 78-byte 2 x 2 picture of the colour its name
gives. Prints the problems and exits 1 when there are any.
"""
import glob
import os
import re
import sys

import html5lib
from PIL import Image

problems = []


def check(cond, message):
    if not cond:
        problems.append(message)


def js_string(literal):
    out, i = [], 0
    while i < len(literal):
        c = literal[i]
        if c == "\\":
            n = literal[i + 1]
            if n == "x":
                out.append(chr(int(literal[i + 2:i + 4], 16)))
                i += 4
                continue
            out.append(n)
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def main(folder):
    expected = open(os.path.join(folder, "expected.txt"), encoding="utf-8").read().splitlines()
    texts, elements, pictures = [], set(), []
    pages = sorted(glob.glob(os.path.join(folder, "*.htm*")))
    check(pages, "no pages")
    for page in pages:
        data = open(page, "rb").read()
        parser = html5lib.HTMLParser(namespaceHTMLElements=False)
        doc = parser.parse(data)
        check(parser.documentEncoding == "windows-1250",
              "%s: read as %s" % (page, parser.documentEncoding))
        for element in doc.iter():
            if isinstance(element.tag, str):
                elements.add(element.tag)
            if element.tag == "div":
                texts.append("".join(element.itertext()).strip())
            if element.tag == "img" and "jpg" in os.path.basename(element.get("src", "")):
                pictures.append(element.get("src"))
        scripts = [e for e in doc.iter() if e.tag == "script"]
        check(len(scripts) == 1, "%s: %d scripts" % (page, len(scripts)))
        for line in expected:
            if line.startswith("url:") and scripts:
                m = re.search(r'var GPageURL = "((?:[^"\\]|\\.)*)";\s*var GPageNo', scripts[0].text or "")
                check(m and js_string(m.group(1)) == line[4:], "%s: page URL %r" % (page, m and m.group(1)))
    jpegs = [l[5:] for l in expected if l.startswith("jpeg:")]
    check(len(jpegs) == len(pictures), "%d pictures, %d expected" % (len(pictures), len(jpegs)))
    for src, want in zip(pictures, jpegs):
        w, h, r, g, b = (int(v) for v in want.split())
        path = os.path.join(folder, os.path.basename(src))
        img = Image.open(path)
        check(img.format == "JPEG" and img.size == (w, h), "%s: %s %s" % (path, img.format, img.size))
        pixels = list(img.convert("RGB").getdata())
        mean = [sum(p[k] for p in pixels) / len(pixels) for k in range(3)]
        check(all(abs(m - e) <= 8 for m, e in zip(mean, (r, g, b))), "%s: mean colour %s" % (path, mean))
    for line in expected:
        if line.startswith("text:"):
            check(line[5:] in texts, "no DIV holds %r" % line[5:])
        if line.startswith("noelement:"):
            check(line[10:] not in elements, "element %r found" % line[10:])
    for gif in glob.glob(os.path.join(folder, "*.gif")):
        name = os.path.basename(gif)[:-4]
        colour = tuple(int(name[i:i + 2], 16) for i in (0, 2, 4))
        check(os.path.getsize(gif) == 78, "%s: %d bytes" % (gif, os.path.getsize(gif)))
        img = Image.open(gif)
        check(img.size == (2, 2), "%s: size %s" % (gif, img.size))
        check(all(p == colour for p in img.convert("RGB").getdata()), "%s: not all %s" % (gif, colour))
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))

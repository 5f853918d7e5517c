#!/usr/bin/python3
"""By hand (scripts/xls-by-hand.sh libreoffice):
- LibreOffice converts the fixture program's basic.xls to CSV, every sheet
  (sheet option -1), and the shown values are compared with what the
  spreadsheet would display;
- it converts charts.xls to ODS, and each chart object is checked: one per
  chart on its sheet, its class and 3D flag, its series and their cell
  ranges, its legend, and its anchor cell within one cell of ours;
- it converts flat ODS documents made here (a chart, a comment) to .xls,
  which our reader must list with the chart and mark as not kept whole."""
import csv
import glob
import json
import os
import re
import subprocess
import sys
import tempfile
import zipfile

# LibreOffice shows the Boolean cells of .xls files as 1 and 0 (it does the
# same for python3-xlwt's files), where the spreadsheet shows PRAVDA/NEPRAVDA.
EXPECTED_SECOND_SHEET = [
    ["Číslo", "Datum", "Částka", "Pravda", "", ""],
    ["0001", "31.12.2024", "1234.5", "1", "vpravo", ""],
    ["žluťoučký kůň", "28.02.1900", "-500.25", "0", "nahoře", ""],
    ["1 234,50", "01.03.1900", "-0", "1", "Times", ""],
]

# The fixture's charts in order: type number, LibreOffice class, 3D.
CHARTS = [(1, "area", False), (58, "bar", False), (4, "line", False), (5, "circle", False),
          (-4151, "radar", False), (-4169, "scatter", False), (-4098, "area", True), (61, "bar", True),
          (-4101, "line", True), (-4102, "circle", True), (-4100, "bar", True), (-4120, "ring", False),
          (51, "bar", False)]
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)


def soffice(args):
    subprocess.run(["soffice", "--headless"] + args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def check_basic(tmp):
    # Comma, double quote, UTF-8, from line 1, no column formats, default
    # language, texts unquoted, special numbers detected, cells as shown,
    # no formulas, spaces kept, sheet -1: every sheet into its own file.
    options = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1'
    soffice(["--convert-to", options, "--outdir", tmp, os.path.join(tmp, "basic.xls")])
    files = sorted(glob.glob(os.path.join(tmp, "basic-*.csv")))
    if len(files) != 2:
        check(False, "expected two sheets, got %r" % files)
        return
    with open(files[0], encoding="utf-8") as f:
        first = [row for row in csv.reader(f)]
    with open(files[1], encoding="utf-8") as f:
        second = [row for row in csv.reader(f)]
    check(not any(any(cell for cell in row) for row in first), "the first sheet is not empty: %r" % first)
    for r, expected in enumerate(EXPECTED_SECOND_SHEET):
        got = second[r] if r < len(second) else []
        got = (got + [""] * len(expected))[:len(expected)]
        check(got == expected, "row %d: %r, expected %r" % (r + 1, got, expected))


def check_charts(tmp):
    soffice(["--convert-to", "ods", "--outdir", os.path.join(tmp, "ods"), os.path.join(tmp, "charts.xls")])
    with zipfile.ZipFile(os.path.join(tmp, "ods", "charts.ods")) as z:
        content = z.read("content.xml").decode("utf-8")
        sheets = re.findall(r'<table:table table:name="([^"]*)".*?</table:table>', content, re.S)
        frames = re.findall(r'<draw:frame[^>]*>\s*<draw:object[^>]*xlink:href="\./(Object \d+)"', content)
        check(len(frames) == len(CHARTS) + 1, "%d chart objects, expected %d" % (len(frames), len(CHARTS) + 1))
        first_sheet = content.split("</table:table>")[0]
        check(first_sheet.count("<draw:frame") == len(CHARTS), "%d charts on the first sheet" % first_sheet.count("<draw:frame"))
        for i, (name, (number, cls, three_d)) in enumerate(zip(frames, CHARTS)):
            chart = z.read(name + "/content.xml").decode("utf-8")
            got = re.search(r'<chart:chart [^>]*chart:class="chart:([a-z]+)"', chart).group(1)
            check(got == cls, "chart %d (type %d): class %s, expected %s" % (i, number, got, cls))
            is_3d = 'chart:three-dimensional="true"' in chart
            check(is_3d == three_d, "chart %d (type %d): 3D %s" % (i, number, is_3d))
            ranges = re.findall(r'chart:values-cell-range-address="([^"]*)"', chart)
            check(sorted(ranges) == sorted(["List1.B2:List1.B5", "List1.C2:List1.C5", "List1.D2:List1.D5"]),
                  "chart %d: series %r" % (i, ranges))
            check(("<chart:legend" in chart) == (i % 2 == 0), "chart %d: legend %s" % (i, "<chart:legend" in chart))
        # Anchors: the cell each frame sits in, against the cell of our
        # top-left corner (standard columns of 45.75 points, rows of 12.75).
        import xml.etree.ElementTree as ET
        ns = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
              "draw": "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"}
        root = ET.fromstring(content)
        table = root.find(".//table:table", ns)
        rep = "{%s}number-rows-repeated" % ns["table"]
        crep = "{%s}number-columns-repeated" % ns["table"]
        cells = []
        row = 0
        for tr in table.iter("{%s}table-row" % ns["table"]):
            col = 0
            for tc in tr:
                if tc.tag.endswith("table-cell") or tc.tag.endswith("covered-table-cell"):
                    for _ in tc.iter("{%s}frame" % ns["draw"]):
                        cells.append((row, col))
                    col += int(tc.get(crep, "1"))
            row += int(tr.get(rep, "1"))
        check(len(cells) == len(CHARTS), "%d anchored frames found" % len(cells))
        for i, (r, c) in enumerate(cells[:len(CHARTS)]):
            want_c, want_r = int((300 + 10.5 * i) // 45.75), int((20.25 * i) // 12.75)
            check(abs(r - want_r) <= 1 and abs(c - want_c) <= 1,
                  "chart %d anchored at row %d column %d, ours %d %d" % (i, r, c, want_r, want_c))


def check_libreoffice_files(writer, tmp):
    fods = os.path.join(tmp, "comment.fods")
    with open(fods, "w", encoding="utf-8") as f:
        f.write('''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
 <office:body><office:spreadsheet><table:table table:name="List1">
  <table:table-row><table:table-cell office:value-type="float" office:value="7">
   <office:annotation><text:p>poznámka</text:p></office:annotation><text:p>7</text:p>
  </table:table-cell></table:table-row>
 </table:table></office:spreadsheet></office:body></office:document>
''')
    soffice(["--convert-to", "xls", "--outdir", os.path.join(tmp, "lo"), fods])
    # The charts LibreOffice read, written back by LibreOffice.
    soffice(["--convert-to", "xls", "--outdir", os.path.join(tmp, "lo"), os.path.join(tmp, "ods", "charts.ods")])
    comment = json.loads(subprocess.run([writer, "--dump", os.path.join(tmp, "lo", "comment.xls")], check=True,
                                        capture_output=True).stdout.decode("utf-8"))
    check(comment["sheets"][0]["cells"][0][2] == 7, "comment.xls value %r" % comment["sheets"][0]["cells"])
    check("comments" in comment["not_kept"], "comment.xls not kept %r" % comment["not_kept"])
    charts = json.loads(subprocess.run([writer, "--dump", os.path.join(tmp, "lo", "charts.xls")], check=True,
                                       capture_output=True).stdout.decode("utf-8"))
    types = [c["type"] for c in charts["sheets"][0]["charts"]]
    check(len(types) == len(CHARTS), "LibreOffice's charts.xls: %d charts read" % len(types))
    check(charts["not_kept"] != [], "LibreOffice's charts.xls read as if whole")
    print("LibreOffice's charts read back as types %r; not kept: %r" % (types, charts["not_kept"]))


def main():
    writer = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([writer, tmp], check=True)
        check_basic(tmp)
        check_charts(tmp)
        check_libreoffice_files(writer, tmp)
    for f in FAILURES:
        print("FAIL: " + f)
    print("%d passed, %d failed" % (1 if not FAILURES else 0, 1 if FAILURES else 0))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())

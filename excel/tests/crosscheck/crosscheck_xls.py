#!/usr/bin/python3
"""Checks the workbooks our writer makes with independent readers:
python3-xlrd (cells, types, formats, fonts, alignment, column widths, row
outline levels), python3-olefile (the compound file, strictly) and
python3-pil with the Liberation Sans files (auto-fitted column widths).

  crosscheck_xls.py FIXTURE_WRITER [--large]   write the fixtures and check them
  crosscheck_xls.py --dump FILE                print a workbook as JSON

Exits 77 (skipped) when a reader module is missing."""
import json
import os
import struct
import subprocess
import sys
import tempfile

MISSING = []
try:
    import xlrd
except ImportError:
    MISSING.append("xlrd (python3-xlrd)")
try:
    import olefile
except ImportError:
    MISSING.append("olefile (python3-olefile)")
try:
    import xlwt
except ImportError:
    MISSING.append("xlwt (python3-xlwt)")
try:
    from PIL import ImageFont
except ImportError:
    MISSING.append("PIL (python3-pil)")

FONT_DIR = "/usr/share/fonts/truetype/liberation2"
FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)


def hor(a):
    return {0: "general", 1: "left", 2: "centre", 3: "right", 4: "fill", 5: "justify", 6: "centre-across"}.get(a, a)


def vert(a):
    return {0: "top", 1: "centre", 2: "bottom", 3: "justify", 4: "distributed"}.get(a, a)


def cell_info(book, sheet, r, c):
    cell = sheet.cell(r, c)
    xf = book.xf_list[cell.xf_index]
    font = book.font_list[xf.font_index]
    kind = {xlrd.XL_CELL_EMPTY: "empty", xlrd.XL_CELL_TEXT: "text", xlrd.XL_CELL_NUMBER: "number",
            xlrd.XL_CELL_DATE: "date", xlrd.XL_CELL_BOOLEAN: "boolean", xlrd.XL_CELL_BLANK: "blank"}.get(cell.ctype, "other")
    value = cell.value
    if kind == "date":
        y, m, d = xlrd.xldate_as_tuple(value, book.datemode)[:3]
        value = "%02d.%02d.%04d" % (d, m, y)
    elif kind == "boolean":
        value = bool(value)
    return {"type": kind, "value": value, "format": book.format_map[xf.format_key].format_str,
            "font": {"name": font.name, "height": font.height, "bold": bool(font.bold)},
            "halign": hor(xf.alignment.hor_align), "valign": vert(xf.alignment.vert_align)}


def sheet_records(path):
    """The record numbers and data of each sheet substream, from the raw
    Workbook stream."""
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    data = ole.openstream("Workbook").read()
    ole.close()
    sheets, pos, current = [], 0, None
    while pos + 4 <= len(data):
        rid, size = struct.unpack_from("<HH", data, pos)
        body = data[pos + 4:pos + 4 + size]
        if rid == 0x0809 and struct.unpack_from("<H", body, 2)[0] == 0x0010:
            current = {}
            sheets.append(current)
        elif current is not None:
            current.setdefault(rid, body)
        if rid == 0 and size == 0:
            break
        pos += 4 + size
    return sheets


def dump(path):
    book = xlrd.open_workbook(path, formatting_info=True)
    raw = sheet_records(path)
    out = {"sheets": []}
    for i, sheet in enumerate(book.sheets()):
        wsbool = struct.unpack_from("<H", raw[i][0x0081])[0] if 0x0081 in raw[i] else 0x04C1
        cells = []
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                info = cell_info(book, sheet, r, c)
                if info["type"] != "empty":
                    info.update({"row": r, "col": c})
                    cells.append(info)
        out["sheets"].append({
            "name": sheet.name, "selected": bool(sheet.sheet_selected),
            "summary_below": bool(wsbool & 0x40),
            "column_widths": {str(c): ci.width for c, ci in sheet.colinfo_map.items()},
            "outline_levels": {str(r): ri.outline_level for r, ri in sheet.rowinfo_map.items() if ri.outline_level},
            "cells": cells})
    return out


def open_strictly(path, streams=(["Workbook"],)):
    ole = olefile.OleFileIO(path, raise_defects=olefile.DEFECT_INCORRECT)
    check(ole.listdir() == list(streams), "%s: streams %r" % (path, ole.listdir()))
    size = ole.get_size("Workbook")
    data = ole.openstream("Workbook").read()
    check(len(data) == size, "%s: stream read %d of %d bytes" % (path, len(data), size))
    ole.close()


def display_text(info):
    if info["type"] == "number":
        v = info["value"]
        text = ("%d" % v) if v == int(v) else repr(v)
        return text.replace(".", ",")
    if info["type"] == "boolean":
        return "PRAVDA" if info["value"] else "NEPRAVDA"
    return str(info["value"])


def check_widths(book, sheet, columns):
    fonts = {False: ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-Regular.ttf"), 100),
             True: ImageFont.truetype(os.path.join(FONT_DIR, "LiberationSans-Bold.ttf"), 100)}
    px_per_em = 10 * 96 / 72
    for c in columns:
        widest = 0
        for r in range(sheet.nrows):
            info = cell_info(book, sheet, r, c)
            if info["type"] in ("empty", "blank"):
                continue
            text = display_text(info)
            widest = max(widest, fonts[info["font"]["bold"]].getlength(text) * px_per_em / 100)
        stored_px = sheet.colinfo_map[c].width * 7 / 256
        # Our widths round each glyph to whole pixels as the screen draws
        # them, the unhinted outline here does not: the text must still fit
        # with a pixel to spare on either side.
        check(stored_px >= widest + 2, "column %d: %.1f px stored for %.1f px of text" % (c, stored_px, widest))
        check(stored_px <= widest + 5 + 2 * 7, "column %d: %.1f px stored, more than two characters above %.1f px"
              % (c, stored_px, widest))


def check_basic(path):
    open_strictly(path)
    book = xlrd.open_workbook(path, formatting_info=True)
    check(book.sheet_names() == ["List1", "Přehled"], "sheet names %r" % book.sheet_names())
    first, sheet = book.sheets()
    check(not first.sheet_selected and sheet.sheet_selected, "the second sheet is the active one")
    check(first.nrows == 0, "the first sheet stays empty")
    d = dump(path)["sheets"][1]
    check(not d["summary_below"], "summary rows above the details")
    expected = [
        # row, col, type, value, bold, halign, valign, format
        (0, 0, "text", "Číslo", True, "centre", "bottom", "General"),
        (0, 3, "text", "Pravda", True, "centre", "bottom", "General"),
        (1, 0, "text", "0001", False, "general", "bottom", "General"),
        (1, 1, "date", "31.12.2024", False, "general", "bottom", "dd.mm.yyyy"),
        (1, 2, "number", 1234.5, False, "general", "bottom", "General"),
        (1, 3, "boolean", True, False, "general", "bottom", "General"),
        (1, 4, "text", "vpravo", False, "right", "bottom", "General"),
        (1, 5, "blank", "", False, "right", "bottom", "General"),
        (2, 0, "text", "žluťoučký kůň", False, "general", "bottom", "General"),
        (2, 1, "text", "28.02.1900", False, "general", "bottom", "General"),
        (2, 2, "number", -500.25, False, "general", "bottom", "General"),
        (2, 3, "boolean", False, False, "general", "bottom", "General"),
        (2, 4, "text", "nahoře", False, "general", "top", "General"),
        (3, 0, "text", "1 234,50", False, "general", "bottom", "General"),
        (3, 1, "date", "01.03.1900", False, "general", "bottom", "dd.mm.yyyy"),
        (3, 2, "text", "-0", False, "general", "bottom", "General"),
    ]
    for r, c, kind, value, bold, h, v, fmt in expected:
        info = cell_info(book, sheet, r, c)
        got = (info["type"], info["value"], info["font"]["bold"], info["halign"], info["valign"], info["format"])
        check(got == (kind, value, bold, h, v, fmt), "cell %d,%d: %r" % (r, c, got))
        check(info["font"]["name"] == "Arial" and info["font"]["height"] == 200, "cell %d,%d font %r" % (r, c, info["font"]))
    times = cell_info(book, sheet, 3, 4)["font"]
    check(times == {"name": "Times New Roman", "height": 280, "bold": False}, "font of E4 %r" % times)
    levels = {r: sheet.rowinfo_map[r].outline_level for r in range(1, 4)}
    check(levels == {1: 0, 2: 1, 3: 1}, "outline levels %r" % levels)
    check(sheet.colinfo_map[6].width == 5303, "column G width %r" % sheet.colinfo_map[6].width)
    check_widths(book, sheet, range(4))


def check_alignments(path):
    open_strictly(path)
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    horizontal = ["general", "left", "centre", "right", "fill", "justify", "centre-across"]
    vertical = ["top", "centre", "bottom", "justify", "distributed"]
    for i, h in enumerate(horizontal):
        info = cell_info(book, sheet, i, 0)
        check((info["value"], info["halign"], info["valign"]) == ("h%d" % i, h, "bottom"), "A%d: %r" % (i + 1, info))
    for i, v in enumerate(vertical):
        info = cell_info(book, sheet, i, 1)
        check((info["value"], info["halign"], info["valign"]) == ("v%d" % i, "general", v), "B%d: %r" % (i + 1, info))
    check(sheet.cell(7, 0).xf_index == sheet.cell(3, 0).xf_index, "equal formats share one XF")
    check(sheet.cell(0, 0).xf_index == 15, "the default format is the default cell XF")
    # The 16 default XFs, then one per distinct format in use.
    check(len(book.xf_list) == 16 + 6 + 4, "%d XFs written" % len(book.xf_list))


# The tables of formats.xls, as the fixture program writes them.
ROTATIONS = [0, 90, 180, 255, 45, 135, 180, 0]
LINE_CODES = [7, 1, 2, 5,  3, 3, 8, 8,  9, 9, 10, 10,  11, 11, 12, 12,  4, 4, 4, 4,  6, 6, 6, 6,
              13, 13, 13, 13,  0, 0, 0, 0]
PATTERN_CODES = list(range(1, 19)) + [1, 1]
YELLOW, NAVY, BLUE, RED, GREEN = 13, 18, 12, 10, 11


def check_formats(path):
    open_strictly(path)
    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    check(sheet.name == "Formáty", "sheet name %r" % sheet.name)

    def xf(r, c):
        return book.xf_list[sheet.cell(r, c).xf_index]

    def font(r, c):
        return book.font_list[xf(r, c).font_index]

    fonts = [(f.italic, f.underline_type, f.struck_out, f.colour_index, f.bold)
             for f in (font(r, 0) for r in range(5))]
    check(fonts == [(1, 0, 0, 0x7FFF, 0), (0, 1, 0, 0x7FFF, 0), (0, 0, 1, 0x7FFF, 0), (0, 0, 0, RED, 0),
                    (1, 0, 0, GREEN, 1)], "fonts %r" % fonts)
    rotations = [xf(r, 1).alignment.rotation for r in range(len(ROTATIONS))]
    check(rotations == ROTATIONS, "rotations %r" % rotations)
    a = [xf(r, 2).alignment for r in range(3)]
    check((a[0].indent_level, a[1].text_wrapped, a[2].shrink_to_fit) == (3, 1, 1),
          "indent, wrap, shrink %r" % ((a[0].indent_level, a[1].text_wrapped, a[2].shrink_to_fit),))
    check(a[0].text_wrapped == 0 and a[0].shrink_to_fit == 0 and a[1].indent_level == 0, "only the one flag each")
    lines = [xf(r, 3).border.left_line_style for r in range(len(LINE_CODES))]
    check(lines == LINE_CODES, "line codes %r" % lines)
    b = xf(0, 4).border
    edges = (b.left_line_style, b.top_line_style, b.bottom_line_style, b.right_line_style)
    check(edges == (6, 4, 5, 3), "four edges %r" % (edges,))
    fills = [(xf(r, 5).background.fill_pattern, xf(r, 5).background.pattern_colour_index,
              xf(r, 5).background.background_colour_index) for r in range(len(PATTERN_CODES) + 1)]
    expected = [(code, YELLOW, 65) if code == 1 else (code, NAVY, YELLOW) for code in PATTERN_CODES] + [(1, BLUE, 65)]
    check(fills == expected, "fills %r" % fills)
    check(xf(0, 0).background.fill_pattern == 0 and xf(0, 0).border.left_line_style == 0, "plain cells stay plain")
    heights = {r: (sheet.rowinfo_map[r].height, sheet.rowinfo_map[r].height_mismatch) for r in (29, 30, 31)}
    check(heights == {29: (600, 1), 30: (150, 1), 31: (150, 1)}, "row heights %r" % heights)
    check(sheet.rowinfo_map[0].height_mismatch == 0, "other rows keep the standard height")
    links = [(h.frowx, h.lrowx, h.fcolx, h.lcolx, h.type, h.url_or_path, h.textmark) for h in sheet.hyperlink_list]
    check(links == [
        (0, 0, 7, 7, "url", "http://example.invalid/a?b=1", None),
        (1, 1, 7, 7, "url", "mailto:someone@example.invalid", None),
        (2, 2, 7, 7, "local file", "..\\data\\kniha.xls", None),
        (3, 3, 7, 7, "local file", "C:\\Dokumenty\\účty.xls", "List1!A1"),
        (4, 4, 7, 7, "workbook", None, "'Formáty'!B2"),
        (6, 7, 7, 8, "url", "https://example.invalid/", None),
    ], "hyperlinks %r" % links)


def check_charts(path):
    """Charts are skipped by xlrd: everything else must read unchanged."""
    open_strictly(path)
    book = xlrd.open_workbook(path, formatting_info=True)
    check(book.nsheets == 2, "charts.xls sheets %d" % book.nsheets)
    sheet, second = book.sheets()
    values = [[sheet.cell_value(r, c) for c in range(4)] for r in range(5)]
    check(values == [["", "Příjem", "Výdej", "Zisk"], ["leden", 100, 60, 40], ["únor", 101, 62, 39],
                     ["březen", 102, 64, 38], ["duben", 103, 66, 37]], "charts.xls values %r" % values)
    check(book.font_list[book.xf_list[sheet.cell(0, 0).xf_index].font_index].italic == 1, "charts.xls A1 italic")
    links = [(h.frowx, h.fcolx, h.url_or_path) for h in sheet.hyperlink_list]
    check(links == [(6, 0, "http://example.invalid/")], "charts.xls hyperlinks %r" % links)
    check([second.cell_value(r, 0) for r in range(3)] == [7, 7, 7], "charts.xls second sheet")


def our_reading(writer, path):
    out = subprocess.run([writer, "--dump", path], check=True, capture_output=True).stdout
    return json.loads(out.decode("utf-8"))


def check_xlwt_files(writer, tmp):
    """Workbooks another program writes read through our reader as xlrd
    reads them."""
    path = os.path.join(tmp, "xlwt.xls")
    book = xlwt.Workbook(encoding="cp1250")
    first = book.add_sheet("Čísla")
    second = book.add_sheet("Texty")
    date_style = xlwt.easyxf(num_format_str="DD.MM.YYYY")
    money = xlwt.easyxf("font: bold on, italic on", num_format_str="#,##0.00")
    import datetime
    for r in range(60):
        first.write(r, 0, r)
        first.write(r, 1, r * 0.125 - 3)
        first.write(r, 2, 1e10 + r, money)
        first.write(r, 3, datetime.date(2024, 1, 1) + datetime.timedelta(days=r), date_style)
        first.write(r, 4, r % 2 == 0)
        second.write(r, 0, "Příliš žluťoučký kůň %d" % r)
        second.write(r, 1, "text %d" % (r % 7))
    second.write(61, 5, "")
    book.save(path)
    theirs = xlrd.open_workbook(path, formatting_info=True)
    ours = our_reading(writer, path)
    check([s["name"] for s in ours["sheets"]] == theirs.sheet_names(), "xlwt.xls sheet names %r" % ours["sheets"])
    for sheet, mine in zip(theirs.sheets(), ours["sheets"]):
        values = {(r, c): v for r, c, v, f in mine["cells"]}
        expected = {}
        for r in range(sheet.nrows):
            for c in range(sheet.ncols):
                cell = sheet.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                expected[(r, c)] = bool(cell.value) if cell.ctype == xlrd.XL_CELL_BOOLEAN else cell.value
        check(values == expected, "xlwt.xls sheet %s: %d of %d values differ" % (
            sheet.name, sum(1 for k in expected if values.get(k) != expected[k]), len(expected)))
    check(ours["not_kept"] == [], "xlwt.xls read whole, yet %r" % ours["not_kept"])
    formats = {(r, c): f for r, c, v, f in ours["sheets"][0]["cells"]}
    check(formats[(5, 3)] == "DD.MM.YYYY" and formats[(5, 2)] == "#,##0.00", "xlwt.xls formats %r" % formats[(5, 3)])
    # A text outside code page 1250 reads with "?" and is named.
    greek = os.path.join(tmp, "greek.xls")
    book = xlwt.Workbook(encoding="utf-8")
    book.add_sheet("A").write(0, 0, "α=1")
    book.save(greek)
    ours = our_reading(writer, greek)
    check(ours["sheets"][0]["cells"][0][2] == "?=1", "greek.xls %r" % ours["sheets"][0]["cells"])
    check("characters outside code page 1250" in ours["not_kept"], "greek.xls not kept %r" % ours["not_kept"])


def check_large(path_big, path_strings):
    open_strictly(path_big)
    with open(path_big, "rb") as f:
        header = f.read(512)
    check(struct.unpack_from("<I", header, 0x48)[0] > 0, "big.xls uses DIFAT sectors")
    book = xlrd.open_workbook(path_big)
    sheet = book.sheet_by_index(0)
    check((sheet.nrows, sheet.ncols) == (65000, 12), "big.xls size %r" % ((sheet.nrows, sheet.ncols),))
    for r in (0, 1, 32767, 64999):
        check(sheet.cell_value(r, 1) == r * 12.0 + 1, "big.xls B%d" % (r + 1))
        check(sheet.cell_value(r, 0) == "t%d" % (r % 1000), "big.xls A%d" % (r + 1))
    open_strictly(path_strings)
    book = xlrd.open_workbook(path_strings)
    sheet = book.sheet_by_index(0)
    check(sheet.nrows == 40000, "strings.xls rows")
    for r in range(40000):
        expected = ("řetězec " if r % 5 else "text ") + str(r) + "x" * (r % 37)
        if sheet.cell_value(r, 0) != expected:
            check(False, "strings.xls A%d: %r" % (r + 1, sheet.cell_value(r, 0)))
            break


def main():
    if MISSING:
        print("crosscheck_xls: skipped, missing " + ", ".join(MISSING))
        return 77
    if len(sys.argv) == 3 and sys.argv[1] == "--dump":
        json.dump(dump(sys.argv[2]), sys.stdout, ensure_ascii=False, indent=1)
        print()
        return 0
    writer = sys.argv[1]
    large = "--large" in sys.argv[2:]
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([writer, tmp] + (["--large"] if large else []), check=True)
        if large:
            check_large(os.path.join(tmp, "big.xls"), os.path.join(tmp, "strings.xls"))
        else:
            check_basic(os.path.join(tmp, "basic.xls"))
            check_alignments(os.path.join(tmp, "alignments.xls"))
            check_formats(os.path.join(tmp, "formats.xls"))
            check_charts(os.path.join(tmp, "charts.xls"))
            check_xlwt_files(writer, tmp)
    for f in FAILURES:
        print("FAIL: " + f)
    print("%d passed, %d failed" % (1 if not FAILURES else 0, 1 if FAILURES else 0))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())

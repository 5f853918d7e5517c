#!/usr/bin/python3
"""By hand (scripts/xls-by-hand.sh libreoffice): LibreOffice converts the
fixture program's basic.xls to CSV, every sheet (sheet option -1), and the
shown values are compared with what the spreadsheet would display."""
import csv
import glob
import os
import subprocess
import sys
import tempfile

# LibreOffice shows the Boolean cells of .xls files as 1 and 0 (it does the
# same for python3-xlwt's files), where the spreadsheet shows PRAVDA/NEPRAVDA.
EXPECTED_SECOND_SHEET = [
    ["Číslo", "Datum", "Částka", "Pravda", "", ""],
    ["0001", "31.12.2024", "1234.5", "1", "vpravo", ""],
    ["žluťoučký kůň", "28.02.1900", "-500.25", "0", "nahoře", ""],
    ["1 234,50", "01.03.1900", "-0", "1", "Times", ""],
]


def main():
    writer = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([writer, tmp], check=True)
        # Comma, double quote, UTF-8, from line 1, no column formats, default
        # language, texts unquoted, special numbers detected, cells as shown,
        # no formulas, spaces kept, sheet -1: every sheet into its own file.
        options = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1'
        subprocess.run(["soffice", "--headless", "--convert-to", options, "--outdir", tmp,
                        os.path.join(tmp, "basic.xls")], check=True, stdout=subprocess.DEVNULL)
        files = sorted(glob.glob(os.path.join(tmp, "basic-*.csv")))
        if len(files) != 2:
            print("FAIL: expected two sheets, got %r" % files)
            return 1
        with open(files[0], encoding="utf-8") as f:
            first = [row for row in csv.reader(f)]
        with open(files[1], encoding="utf-8") as f:
            second = [row for row in csv.reader(f)]
        failures = 0
        if any(any(cell for cell in row) for row in first):
            print("FAIL: the first sheet is not empty: %r" % first)
            failures += 1
        for r, expected in enumerate(EXPECTED_SECOND_SHEET):
            got = second[r] if r < len(second) else []
            got = (got + [""] * len(expected))[:len(expected)]
            if got != expected:
                print("FAIL: row %d: %r, expected %r" % (r + 1, got, expected))
                failures += 1
        print("%d passed, %d failed" % (len(EXPECTED_SECOND_SHEET) + 1 - failures, failures))
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

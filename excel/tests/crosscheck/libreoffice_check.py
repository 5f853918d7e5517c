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

EXPECTED_SECOND_SHEET = [
    ["Číslo", "Datum", "Částka", "Pravda", "", ""],
    ["0001", "31.12.2024", "1234.5", "TRUE", "vpravo", ""],
    ["žluťoučký kůň", "28.02.1900", "-500.25", "FALSE", "nahoře", ""],
    ["1 234,50", "01.03.1900", "-0", "TRUE", "Times", ""],
]


def main():
    writer = sys.argv[1]
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([writer, tmp], check=True)
        # Field separator, text delimiter, UTF-8, first line, cell format,
        # ..., sheet -1: every sheet into its own file.
        options = 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1'
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

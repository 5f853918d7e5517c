#!/usr/bin/python3
"""Baseline of bench/xls_read_bench: python3-xlrd opens FILE and reads every
cell value of every sheet, and prints the nanoseconds it took (interpreter
start excluded) and the count of values read.

  xls_read_xlrd.py FILE     print "<ns> <values>"

Exits 77 when xlrd is missing."""
import sys
import time


def main():
    try:
        import xlrd
    except ImportError:
        return 77
    start = time.perf_counter_ns()
    book = xlrd.open_workbook(sys.argv[1])
    values = 0
    for sheet in book.sheets():
        for r in range(sheet.nrows):
            for v in sheet.row_values(r):
                if v != "":
                    values += 1
    print(time.perf_counter_ns() - start, values)
    return 0


if __name__ == "__main__":
    sys.exit(main())

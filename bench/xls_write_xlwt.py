#!/usr/bin/python3
"""Baseline of bench/xls_write_bench: python3-xlwt builds and saves the same
cells (ROWS rows: five numeric columns, five text columns with 20 % distinct
values) and prints the nanoseconds it took, interpreter start excluded.

  xls_write_xlwt.py ROWS FILE          write, print "<ns>"
  xls_write_xlwt.py --compare A B [--header]
                                       xlrd: both files hold the same values
                                       (A below its header row)

Exits 77 when xlwt (or, for --compare, xlrd) is missing."""
import sys
import time


def cells(rows):
    distinct = max(1, rows)  # one in five of the rows x 5 texts
    for r in range(rows):
        row = [r * 10 + c + 0.25 for c in range(5)]
        row += ["text %d" % ((r * 5 + c) % distinct) for c in range(5)]
        yield row


def write(rows, path):
    try:
        import xlwt
    except ImportError:
        return 77
    start = time.perf_counter_ns()
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("List1")
    for r, row in enumerate(cells(rows)):
        for c, value in enumerate(row):
            sheet.write(r, c, value)
    book.save(path)
    print(time.perf_counter_ns() - start)
    return 0


def compare(a, b, skip):
    try:
        import xlrd
    except ImportError:
        return 77
    sa = xlrd.open_workbook(a).sheet_by_index(0)
    sb = xlrd.open_workbook(b).sheet_by_index(0)
    if (sa.nrows - skip, sa.ncols) != (sb.nrows, sb.ncols):
        print("sizes differ: %r %r" % ((sa.nrows, sa.ncols), (sb.nrows, sb.ncols)))
        return 1
    for r in range(sb.nrows):
        if sa.row_values(r + skip) != sb.row_values(r):
            print("row %d differs: %r %r" % (r, sa.row_values(r + skip), sb.row_values(r)))
            return 1
    return 0


if __name__ == "__main__":
    if sys.argv[1] == "--compare":
        sys.exit(compare(sys.argv[2], sys.argv[3], 1 if "--header" in sys.argv[4:] else 0))
    sys.exit(write(int(sys.argv[1]), sys.argv[2]))

#!/usr/bin/python3
"""Sums a cash-journal date range with an independent DBF reader.

    journal_sums.py DIR BRANCH FROM TO      (dates as dd.mm.yyyy, both included)

Reads Pla<BRANCH>.dbf with Debian's python3-dbfread (deleted records
skipped) and prints, in exact decimals with two places:

    documents N
    receipts R          sum of the positive amounts
    expenses E          sum of the amounts <= 0 (signed)
    type TYP SUM COUNT  one line per operation type, in type order

Exits 77 when dbfread is not installed."""
import datetime
import decimal
import os
import sys

try:
    import dbfread
except ImportError:
    print("journal_sums.py: python3-dbfread is not installed; check skipped")
    sys.exit(77)


def parse(text):
    day, month, year = (int(p) for p in text.split("."))
    return datetime.date(year, month, day)


def table_path(folder, name):
    for entry in os.listdir(folder):
        if entry.lower() == name.lower():
            return os.path.join(folder, entry)
    raise SystemExit("journal_sums.py: no %s in %s" % (name, folder))


def main(argv):
    if len(argv) != 5:
        raise SystemExit(__doc__)
    folder, branch, low, high = argv[1], argv[2], parse(argv[3]), parse(argv[4])
    path = table_path(folder, "Pla%s.dbf" % branch)
    cents = decimal.Decimal("0.01")
    receipts = decimal.Decimal(0)
    expenses = decimal.Decimal(0)
    documents = 0
    types = {}
    for record in dbfread.DBF(path, encoding="cp852", load=True):
        date = record["PLA_DAT"]
        if date is None or date < low or date > high:
            continue
        amount = decimal.Decimal(str(record["PLA_HOD"] or 0)).quantize(cents)
        documents += 1
        if amount > 0:
            receipts += amount
        else:
            expenses += amount
        code = record["PLA_TYP"] or ""
        total, count = types.get(code, (decimal.Decimal(0), 0))
        types[code] = (total + amount, count + 1)
    print("documents %d" % documents)
    print("receipts %s" % receipts.quantize(cents))
    print("expenses %s" % expenses.quantize(cents))
    for code in sorted(types):
        total, count = types[code]
        print("type %s %s %d" % (code or "-", total.quantize(cents), count))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

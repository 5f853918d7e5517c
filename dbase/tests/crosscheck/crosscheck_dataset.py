#!/usr/bin/python3
"""Independent side of the dataset cross-check: reads a table that the
dataset wrote with dbfread (OEM code page 852), and writes a table with
python3-dbf for the dataset to read.

Both commands print one line "fields NAME,..." and then one line per record
in file order, deleted records included:
    <1 deleted | 0> | value | value ...
with values in one canonical form shared with the C++ side:
    C, M  hex of the UTF-8 text (C without trailing blanks)
    N, F  the number with the field's decimals, "" when blank
    D     yyyymmdd, "" when blank
    L     T or F, "" when blank

Usage:
    crosscheck_dataset.py dump FILE
    crosscheck_dataset.py create FILE
"""
import datetime
import sys


def canonical(kind, decimals, value):
    if kind == "C":
        return "" if value is None else value.rstrip(" \0").encode("utf-8").hex()
    if kind == "M":
        return "" if not value else value.encode("utf-8").hex()
    if kind in "NF":
        return "" if value is None else "%.*f" % (decimals, value)
    if kind == "D":
        return "" if value is None else value.strftime("%Y%m%d")
    if kind == "L":
        return "" if value is None else ("T" if value else "F")
    return repr(value)


def deletion_flags(path):
    with open(path, "rb") as f:
        data = f.read()
    header_length = int.from_bytes(data[8:10], "little")
    record_length = int.from_bytes(data[10:12], "little")
    count = (len(data) - header_length) // record_length
    return [data[header_length + n * record_length] == ord("*") for n in range(count)]


def dump(path):
    import dbfread

    table = dbfread.DBF(path, encoding="cp852", char_decode_errors="strict")
    kept = iter(table.records)
    deleted = iter(table.deleted)
    print("fields " + ",".join(f.name for f in table.fields))
    for is_deleted in deletion_flags(path):
        record = next(deleted) if is_deleted else next(kept)
        values = [canonical(f.type, f.decimal_count, record[f.name]) for f in table.fields]
        print(("1" if is_deleted else "0") + "|" + "|".join(values))


ROWS = [
    ("Příliš žluťoučký", -12.5, 42, datetime.date(2024, 1, 5), True, "Kůň úpěl ďábelské ódy"),
    ("Čerpání", 0.25, 0, None, False, ""),
    ("Smazaný záznam", 1000.75, 7, datetime.date(1999, 12, 31), False, "smazáno"),
    ("ŠÍLENÝ ÚČET", 99999.99, -5, datetime.date(2000, 2, 29), True, "x" * 700),
]


def create(path):
    import dbf

    table = dbf.Table(
        path,
        "name C(20); amount N(12,2); count N(8,0); day D; paid L; note M",
        dbf_type="db3",
        codepage="cp852",
    )
    table.open(dbf.READ_WRITE)
    for row in ROWS:
        table.append(row)
    dbf.delete(table[2])
    table.close()
    print("fields NAME,AMOUNT,COUNT,DAY,PAID,NOTE")
    kinds = [("C", 0), ("N", 2), ("N", 0), ("D", 0), ("L", 0), ("M", 0)]
    for index, row in enumerate(ROWS):
        values = [canonical(kind, decimals, value) for (kind, decimals), value in zip(kinds, row)]
        print(("1" if index == 2 else "0") + "|" + "|".join(values))


def main(argv):
    if len(argv) != 3 or argv[1] not in ("dump", "create"):
        print(__doc__, file=sys.stderr)
        return 2
    if argv[1] == "dump":
        dump(argv[2])
    else:
        create(argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

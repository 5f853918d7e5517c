#!/usr/bin/python3
"""Reads and writes DBF tables with Debian's independent readers (dbfread and
python3-dbf) for the cross-check tests.

Every dump prints one line "fields NAME,AMOUNT,..." and then one line per
record, deleted ones included, in file order:
    <1 deleted | 0> | value | value ...
with values in one canonical form shared with the C++ side:
    C, M  hex of the bytes (C without trailing blanks and zero bytes)
    N, F  the number with the field's decimals ("%.*f"), "" when blank
    D     yyyymmdd, "" when blank
    L     T or F, "" when blank

Usage:
    dbf_tools.py dump-dbfread FILE
    dbf_tools.py dump-dbf FILE
    dbf_tools.py czech FILE        (record 1, NAME and NOTE, read as cp852)
    dbf_tools.py create-dbf KIND FILE   (KIND db3, fp or vfp)
    dbf_tools.py last-update FILE  (the header's date as python3-dbf reads it)
"""
import datetime
import sys


def text_hex(value, strip):
    if value is None:
        return ""
    if isinstance(value, str):
        value = value.encode("latin-1")
    if strip:
        value = value.rstrip(b" \0")
    return value.hex()


def number(value, decimals):
    if value is None:
        return ""
    return "%.*f" % (decimals, value)


def date(value):
    return "" if value is None else value.strftime("%Y%m%d")


def logical(value):
    return "" if value is None else ("T" if value else "F")


def canonical(kind, decimals, value):
    if kind == "C":
        return text_hex(value, True)
    if kind in "MBG":
        return text_hex(value, False)
    if kind in "NF":
        return number(value, decimals)
    if kind == "D":
        return date(value)
    if kind == "L":
        return logical(value)
    return repr(value)


def dump_dbfread(path):
    import dbfread

    table = dbfread.DBF(path, encoding="latin-1", char_decode_errors="strict")
    # dbfread 2.0.7 takes the stored dBase IV memo length, which counts the
    # 8-byte block header, as the text length: the text comes back with 8
    # zero bytes behind it.
    dbase4 = table.header.dbversion == 0x8B
    print("fields " + ",".join(f.name for f in table.fields))
    records = []
    for deleted, source in ((False, table.records), (True, table.deleted)):
        for index, record in zip(_record_numbers(path, deleted), source):
            values = []
            for f in table.fields:
                value = record[f.name]
                if dbase4 and f.type == "M" and isinstance(value, str) and value.endswith("\0" * 8):
                    value = value[:-8]
                values.append(canonical(f.type, f.decimal_count, value))
            records.append((index, ("1" if deleted else "0") + "|" + "|".join(values)))
    for _, line in sorted(records):
        print(line)


def _record_numbers(path, deleted):
    """Physical numbers of the deleted or the kept records, in order."""
    with open(path, "rb") as f:
        data = f.read()
    header_length = int.from_bytes(data[8:10], "little")
    record_length = int.from_bytes(data[10:12], "little")
    count = (len(data) - header_length) // record_length
    for n in range(count):
        flag = data[header_length + n * record_length : header_length + n * record_length + 1]
        if (flag == b"*") == deleted:
            yield n


def dump_dbf(path):
    import dbf

    table = dbf.Table(path, codepage="cp1252")
    table.open(dbf.READ_ONLY)
    names = table.field_names
    print("fields " + ",".join(n.upper() for n in names))
    for record in table:
        values = []
        for name in names:
            info = table.field_info(name)
            kind = chr(info[0]) if isinstance(info[0], int) else str(info[0])
            value = record[name]
            if kind == "C" and isinstance(value, str):
                value = value.encode("cp1252")
            if kind == "M" and isinstance(value, str):
                value = value.encode("cp1252") if value else None
            values.append(canonical(kind, info[2], value))
        print(("1" if dbf.is_deleted(record) else "0") + "|" + "|".join(values))
    table.close()


def czech(path):
    import dbfread

    record = next(iter(dbfread.DBF(path, encoding="cp852")))
    print(record["NAME"].rstrip().encode("utf-8").hex())
    print((record["NOTE"] or "").rstrip("\0").encode("utf-8").hex())


def create_dbf(kind, path):
    import dbf

    table = dbf.Table(
        path,
        "name C(20); amount N(12,2); big N(12,0); day D; paid L; note M",
        dbf_type=kind,
        codepage="cp1252",
    )
    table.open(dbf.READ_WRITE)
    table.append(("Alpha", -12.5, 1234567890, datetime.date(2024, 1, 5), True, "x" * 700))
    table.append(("Beta", 0.25, 0, None, False, ""))
    table.append(("Gamma", 1000.75, 98765432101, datetime.date(1999, 12, 31), False, "short memo"))
    dbf.delete(table[2])
    table.close()
    if kind == "vfp":
        # python3-dbf 0.96 writes Visual FoxPro tables with memo fields but
        # without the header flag (bit 1 of byte 28) that announces the memo
        # file; every other program relies on it.
        with open(path, "r+b") as f:
            f.seek(28)
            flags = f.read(1)[0]
            f.seek(28)
            f.write(bytes([flags | 0x02]))


def last_update(path):
    import dbf
    table = dbf.Table(path)
    print(table.last_update.strftime("%Y%m%d"))


def main(argv):
    command = argv[1]
    if command == "dump-dbfread":
        dump_dbfread(argv[2])
    elif command == "dump-dbf":
        dump_dbf(argv[2])
    elif command == "czech":
        czech(argv[2])
    elif command == "create-dbf":
        create_dbf(argv[2], argv[3])
    elif command == "last-update":
        last_update(argv[2])
    else:
        print("unknown command " + command, file=sys.stderr)
        return 2
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))

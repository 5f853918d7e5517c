#!/usr/bin/python3
"""Checks a cash-journal demo directory with an independent DBF reader.

    check_demo.py [--branch 0001] DIR
    check_demo.py --mkdemo PROGRAM      (makes a demo in a temporary folder first)
    check_demo.py --chain-only DIR      (only the running balance)

Reads every table with Debian's python3-dbfread (texts in code page 852) and
checks the field layouts, the Czech texts, the journal's running balance in
record order, the document numbers 1..N, the document counter, the operation
types, the dates and that the balance never goes negative. Exits 0 when all
holds, 1 with a list of faults, 77 when dbfread is not installed.

With --chain-only only the journal's running balance is checked, in record
order to the cent (deleted records skipped): entries, back-dated
corrections and a restarted counter keep that but not the rest.
"""
import argparse
import os
import subprocess
import sys
import tempfile

try:
    import dbfread
except ImportError:
    print("check_demo.py: python3-dbfread is not installed; check skipped")
    sys.exit(77)

LAYOUTS = {
    "Pla{b}": [("PLA_DAT", "D", 8, 0), ("PLA_DO1", "C", 10, 0), ("PLA_TYP", "C", 3, 0),
               ("PLA_KOM", "C", 30, 0), ("PLA_STA", "N", 12, 2), ("PLA_KDO", "C", 30, 0),
               ("PLA_BYT", "C", 30, 0), ("PLA_SML", "C", 10, 0), ("PLA_HOD", "N", 12, 2),
               ("PLA_ROC", "C", 10, 0)],
    "Cis{b}": [("CIS_DEN", "N", 15, 0), ("CIS_ODB", "N", 6, 0), ("CIS_VYD", "C", 10, 0),
               ("CIS_FIN", "C", 10, 0)],
    "Vla0000": [("VLA_KOD", "C", 6, 0), ("VLA_ICO", "C", 8, 0), ("VLA_DIC", "C", 15, 0),
                ("VLA_JED", "C", 4, 0), ("VLA_FIR", "C", 30, 0), ("VLA_NAC", "C", 30, 0),
                ("VLA_ULI", "C", 30, 0), ("VLA_MES", "C", 30, 0), ("VLA_PSC", "C", 6, 0),
                ("VLA_STA", "C", 30, 0), ("VLA_TEL", "C", 30, 0), ("VLA_FAX", "C", 30, 0),
                ("VLA_EML", "C", 30, 0), ("VLA_JME", "C", 30, 0), ("VLA_MOB", "C", 30, 0),
                ("VLA_ZAP", "C", 60, 0), ("VLA_KRA", "C", 15, 0), ("VLA_UCE", "C", 20, 0),
                ("VLA_BAN", "C", 20, 0), ("VLA_POC", "D", 8, 0)],
    "Org0000": [("ORG_KOD", "C", 4, 0), ("ORG_NAC", "C", 30, 0), ("ORG_ULI", "C", 30, 0),
                ("ORG_MES", "C", 30, 0), ("ORG_PSC", "C", 6, 0)],
    "Fin0000": [("FIN_TYP", "C", 3, 0), ("FIN_NAC", "C", 25, 0), ("FIN_KOE", "N", 2, 0)],
    "Typ0000": [("TYP_TYP", "C", 3, 0), ("TYP_NAC", "C", 25, 0)],
}

EXPECTED_TEXTS = ["Tržba za hotové", "Vklad z banky", "Vrácená záloha", "Nákup materiálu",
                  "Poštovné", "Cestovní náhrady", "Odvod tržby do banky", "Kancelářské potřeby"]


def find_table(directory, name):
    """The table file, looked up without regard to letter case."""
    wanted = (name + ".dbf").lower()
    for entry in os.listdir(directory):
        if entry.lower() == wanted:
            return os.path.join(directory, entry)
    return None


def cents(value):
    return int(round(value * 100))


def check(directory, branch):
    faults = []
    tables = {}
    for pattern, layout in LAYOUTS.items():
        name = pattern.format(b=branch)
        path = find_table(directory, name)
        if path is None:
            faults.append(f"{name}: table missing")
            continue
        table = dbfread.DBF(path, encoding="cp852", char_decode_errors="strict")
        got = [(f.name, f.type, f.length, f.decimal_count) for f in table.fields]
        if got != layout:
            faults.append(f"{name}: fields {got} instead of {layout}")
        tables[pattern] = list(table)

    types = {r["FIN_TYP"]: r for r in tables.get("Fin0000", [])}
    names = {r["FIN_NAC"] for r in types.values()}
    for text in EXPECTED_TEXTS:
        if text not in names:
            faults.append(f"Fin0000: description {text!r} not found")
    for code, r in types.items():
        if r["FIN_KOE"] not in (1, -1):
            faults.append(f"Fin0000: type {code} has coefficient {r['FIN_KOE']}")

    journal = tables.get("Pla{b}", [])
    balance = 0
    year = journal[0]["PLA_DAT"].year if journal else None
    previous_date = None
    numbers = []
    for index, r in enumerate(journal, start=1):
        balance += cents(r["PLA_HOD"])
        if cents(r["PLA_STA"]) != balance:
            faults.append(f"journal record {index}: balance {r['PLA_STA']} instead of {balance / 100:.2f}")
            balance = cents(r["PLA_STA"])
        if balance < 0:
            faults.append(f"journal record {index}: negative balance {balance / 100:.2f}")
        date = r["PLA_DAT"]
        if date is None or date.year != year:
            faults.append(f"journal record {index}: date {date} outside {year}")
        elif previous_date is not None and date < previous_date:
            faults.append(f"journal record {index}: date {date} before {previous_date}")
        previous_date = date or previous_date
        if r["PLA_TYP"] not in types:
            faults.append(f"journal record {index}: type {r['PLA_TYP']!r} not in Fin0000")
        else:
            sign = types[r["PLA_TYP"]]["FIN_KOE"]
            if r["PLA_HOD"] * sign < 0:
                faults.append(f"journal record {index}: amount {r['PLA_HOD']} against type {r['PLA_TYP']}")
        numbers.append(r["PLA_DO1"])
    if numbers != [str(n) for n in range(1, len(journal) + 1)]:
        faults.append("journal: document numbers are not 1..N in record order")
    if len(set(numbers)) != len(numbers):
        faults.append("journal: document numbers repeat")
    if journal and "Tržba za hotové" not in {r["PLA_KOM"] for r in journal}:
        faults.append("journal: no takings with the text 'Tržba za hotové'")

    counters = tables.get("Cis{b}", [])
    if len(counters) != 1:
        faults.append(f"Cis{branch}: {len(counters)} records instead of one")
    elif counters[0]["CIS_FIN"].strip() != str(len(journal) + 1):
        faults.append(f"Cis{branch}: CIS_FIN {counters[0]['CIS_FIN']!r} instead of {len(journal) + 1}")
    owner = tables.get("Vla0000", [])
    if len(owner) != 1 or not owner[0]["VLA_FIR"]:
        faults.append("Vla0000: no company header")
    if [r["ORG_KOD"] for r in tables.get("Org0000", [])] != ["0001", "0002", "0003"]:
        faults.append("Org0000: branches 0001-0003 expected")
    return faults, len(journal)


def check_chain(directory, branch):
    name = f"Pla{branch}"
    path = find_table(directory, name)
    if path is None:
        return [f"{name}: table missing"], 0
    journal = list(dbfread.DBF(path, encoding="cp852", char_decode_errors="strict"))
    faults = []
    balance = 0
    for index, r in enumerate(journal, start=1):
        balance += cents(r["PLA_HOD"])
        if cents(r["PLA_STA"]) != balance:
            faults.append(f"journal record {index}: balance {r['PLA_STA']} instead of {balance / 100:.2f}")
            balance = cents(r["PLA_STA"])
    return faults, len(journal)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("directory", nargs="?")
    parser.add_argument("--branch", default="0001")
    parser.add_argument("--mkdemo", help="make a demo directory with this program first")
    parser.add_argument("--chain-only", action="store_true", help="check only the running balance")
    args = parser.parse_args()
    if args.chain_only:
        if not args.directory:
            parser.error("--chain-only needs a directory")
        faults, count = check_chain(args.directory, args.branch)
    elif args.mkdemo:
        with tempfile.TemporaryDirectory() as tmp:
            target = os.path.join(tmp, "demo")
            subprocess.run([args.mkdemo, "--branch", args.branch, target], check=True)
            faults, count = check(target, args.branch)
    elif args.directory:
        faults, count = check(args.directory, args.branch)
    else:
        parser.error("a directory or --mkdemo is needed")
    for fault in faults:
        print(fault)
    if faults:
        print(f"check_demo.py: {len(faults)} faults")
        return 1
    print(f"check_demo.py: {count} journal records checked, all hold")
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""Compares our code page tables with Python's own cp1250 and cp852 codecs.

Usage: codepage_check.py <path of codepage_dump>

The dump program prints our tables; Python's codecs are an independent
implementation of the same code pages. Checked for every byte:
  - CP1250 and CP852 byte -> Unicode (the five undefined CP1250 bytes must
    map to the C1 control of the same value, so they survive a round trip);
  - CP1250 upper/lower case tables against str.upper/str.lower where the
    result is one character that CP1250 has, else the byte unchanged;
  - the ANSI -> OEM and OEM -> ANSI byte conversion: the other page's byte
    of the same character, "?" when that page lacks it.
Exits non-zero with one line per mismatch.
"""

import subprocess
import sys

CP1250_UNDEFINED = {0x81, 0x83, 0x88, 0x90, 0x98}


def load_dump(program):
    out = subprocess.run([program], check=True, capture_output=True, text=True).stdout
    tables = {}
    for line in out.splitlines():
        name, key, value = line.split()
        tables.setdefault(name, {})[int(key, 16)] = int(value, 16)
    return tables


def decode(byte, codec):
    """The character of a byte, or None where the codec leaves it undefined."""
    try:
        return bytes([byte]).decode(codec)
    except UnicodeDecodeError:
        return None


def encode(char, codec):
    """The single byte of a character, or None when the page lacks it."""
    try:
        data = char.encode(codec)
    except UnicodeEncodeError:
        return None
    return data[0] if len(data) == 1 else None


def expected_case(byte, mapping):
    char = decode(byte, "cp1250")
    if char is None:
        return byte
    mapped = mapping(char)
    if len(mapped) != 1:
        return byte
    target = encode(mapped, "cp1250")
    return byte if target is None else target


def main():
    if len(sys.argv) != 2:
        print("usage: codepage_check.py <path of codepage_dump>", file=sys.stderr)
        return 2
    tables = load_dump(sys.argv[1])
    errors = []

    def check(table, byte, ours, expected, what):
        if ours != expected:
            errors.append(f"{table} byte 0x{byte:02X}: ours 0x{ours:04X}, expected 0x{expected:04X} ({what})")

    for byte in range(256):
        char = decode(byte, "cp1250")
        if char is None:
            if byte not in CP1250_UNDEFINED:
                errors.append(f"cp1250 byte 0x{byte:02X} unexpectedly undefined in Python's codec")
            check("cp1250", byte, tables["cp1250"][byte], byte, "undefined byte keeps its value")
        else:
            check("cp1250", byte, tables["cp1250"][byte], ord(char), repr(char))

        oem_char = decode(byte, "cp852")
        check("cp852", byte, tables["cp852"][byte], ord(oem_char), repr(oem_char))

        check("upper", byte, tables["upper"][byte], expected_case(byte, str.upper), "str.upper")
        check("lower", byte, tables["lower"][byte], expected_case(byte, str.lower), "str.lower")

        oem = encode(char, "cp852") if char is not None else None
        check("oem", byte, tables["oem"][byte], ord("?") if oem is None else oem, "ANSI -> OEM")
        ansi = encode(oem_char, "cp1250")
        check("ansi", byte, tables["ansi"][byte], ord("?") if ansi is None else ansi, "OEM -> ANSI")

    shared = sum(1 for b in range(0x80, 0x100) if tables["oem"][b] != ord("?"))
    if errors:
        print("\n".join(errors))
        print(f"{len(errors)} mismatch(es) against Python's codecs")
        return 1
    print(f"all 256 bytes of every table agree with Python's codecs; "
          f"{shared} of 128 high CP1250 bytes have a CP852 character")
    return 0


if __name__ == "__main__":
    sys.exit(main())

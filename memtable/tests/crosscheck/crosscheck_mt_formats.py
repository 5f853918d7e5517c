#!/usr/bin/python3
"""Independent readers of the in-memory table's file formats.

csv FILE        rows as Python's csv module reads them, one JSON list per line
bin FILE        records of a binary stream decoded here from the value
                encoding, one JSON list per record: [status, value, ...];
                integers as numbers, Booleans as true/false, null as None,
                strings as hex of their CP1250 bytes, 80-bit floats as
                "m:e" with value m * 2**e, m odd (or 0:0), from integer
                arithmetic only.
"""
import csv
import json
import struct
import sys


class Reader:
    def __init__(self, data):
        self.data = data
        self.pos = 0

    def take(self, n):
        if self.pos + n > len(self.data):
            raise ValueError("truncated")
        chunk = self.data[self.pos:self.pos + n]
        self.pos += n
        return chunk

    def peek(self):
        return self.data[self.pos]

    def value(self):
        code = self.take(1)[0]
        if code == 2:
            return struct.unpack("<b", self.take(1))[0]
        if code == 3:
            return struct.unpack("<h", self.take(2))[0]
        if code == 4:
            return struct.unpack("<i", self.take(4))[0]
        if code == 8:
            return False
        if code == 9:
            return True
        if code == 5:
            raw = self.take(10)
            mantissa = int.from_bytes(raw[:8], "little")
            top = int.from_bytes(raw[8:], "little")
            sign = -1 if top & 0x8000 else 1
            exponent = top & 0x7FFF
            if mantissa == 0:
                return "0:0"
            e = exponent - 16383 - 63 if exponent else -16382 - 63
            while mantissa % 2 == 0:
                mantissa //= 2
                e += 1
            return "%d:%d" % (sign * mantissa, e)
        if code == 6:
            n = self.take(1)[0]
            return self.take(n).hex()
        if code == 12:
            n = struct.unpack("<I", self.take(4))[0]
            return self.take(n).hex()
        if code == 20:
            n = struct.unpack("<I", self.take(4))[0]
            return self.take(n).decode("utf-8").encode("cp1250").hex()
        raise ValueError("unknown code %d" % code)

    def list_begin(self):
        if self.take(1)[0] != 1:
            raise ValueError("list expected")

    def end_of_list(self):
        if self.peek() == 0:
            self.pos += 1
            return True
        return False


def read_binary(path):
    r = Reader(open(path, "rb").read())
    if r.take(4) != b"TPF0":
        raise ValueError("signature")
    version = r.value()
    r.list_begin()
    fields = 0
    while not r.end_of_list():
        for _ in range(10):
            r.value()
        fields += 1
    r.list_begin()
    while not r.end_of_list():
        for _ in range(7):
            r.value()
    r.list_begin()
    while not r.end_of_list():
        r.list_begin()
        record = [r.value()]
        for _ in range(fields):
            record.append(None if r.value() else r.value())
        while not r.end_of_list():
            r.value()
            for _ in range(fields):
                if not r.value():
                    r.value()
        print(json.dumps(record))
    assert version == 251


def main():
    mode, path = sys.argv[1], sys.argv[2]
    if mode == "csv":
        with open(path, newline="", encoding="cp1250") as f:
            for row in csv.reader(f):
                print(json.dumps([v.encode("cp1250").hex() for v in row]))
    else:
        read_binary(path)


if __name__ == "__main__":
    main()

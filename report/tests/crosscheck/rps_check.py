#!/usr/bin/python3
"""Independent structural reader of page streams (".rps").

Reads every file named on the command line from the format tables alone:
the header ("Z" with its version word, "Y" = 2009, "Q" = 1101), then the
pages one after another, every record with its operands, and checks that
the page links, page numbers and page count agree, that named values and
graphics refer strictly backwards, and that nothing follows the last page.
Prints one summary line per file: "<file>: version V, N pages, M records,
codes c1,c2,..." and exits 1 on the first fault found.
"""
import struct
import sys


class Fault(Exception):
    pass


class Reader:
    def __init__(self, data):
        self.d = data
        self.p = 0
        self.version = 2017

    def need(self, n):
        if n < 0 or self.p + n > len(self.d):
            raise Fault("read of %d bytes at %d beyond the end" % (n, self.p))

    def byte(self):
        self.need(1)
        self.p += 1
        return self.d[self.p - 1]

    def word(self):
        self.need(2)
        self.p += 2
        return struct.unpack_from("<h", self.d, self.p - 2)[0]

    def long(self):
        self.need(4)
        self.p += 4
        return struct.unpack_from("<i", self.d, self.p - 4)[0]

    def float(self):
        self.need(4)
        self.p += 4
        v = struct.unpack_from("<f", self.d, self.p - 4)[0]
        if v != v or v in (float("inf"), float("-inf")):
            raise Fault("non-finite float at %d" % (self.p - 4))
        return v

    def text(self):
        n = self.byte()
        if n >= 192 and self.version >= 2016:
            n = ((n & 0x3F) << 8) | self.byte()
        self.need(n)
        self.p += n
        return self.d[self.p - n:self.p]

    def points(self, n):
        for _ in range(n):
            self.float()
            self.float()

    def graphic(self):
        kind = self.byte()
        if (kind & 0x7F) not in (1, 2, 3, 4):
            raise Fault("graphic kind %d at %d" % (kind, self.p - 1))
        here = self.p
        n = self.long()
        if kind & 0x80:
            if not 0 < n < here:
                raise Fault("graphic reference %d at %d not backwards" % (n, here))
            size = struct.unpack_from("<i", self.d, n)[0]
            if size < 0 or n + 4 + size > len(self.d):
                raise Fault("referenced graphic at %d out of the file" % n)
            return
        self.need(n)
        self.p += n

    def value_at(self, pos, hops):
        if hops > 8:
            raise Fault("named value chain too long")
        if pos + 2 > len(self.d):
            raise Fault("named value at %d beyond the end" % pos)
        s, l = self.d[pos], self.d[pos + 1]
        if pos + 2 + s > len(self.d):
            raise Fault("named value at %d beyond the end" % pos)
        if l in (254, 255):
            target = abs(struct.unpack_from("<i", self.d, pos + 2)[0])
            if target == 0:
                return b""
            if target >= pos:
                raise Fault("named value at %d refers forward to %d" % (pos, target))
            return self.value_at(target, hops + 1)
        return self.d[pos + 2:pos + 2 + min(l, s)]

    def named(self):
        self.text()
        pos = self.p
        self.need(2)
        s = self.d[pos]
        self.value_at(pos, 0)
        self.p = pos + 2
        self.need(s)
        self.p += s


FIXED = {  # code: list of operand kinds
    1: ["pt"] * 4, 3: ["pt"] * 4, 13: ["pt"] * 4,
    2: ["gr", "rc", "rc", "long"], 4: ["rc", "long", "rc"], 5: ["gr", "pt"],
    6: ["rc"], 7: ["pt", "pt"], 8: ["rc"], 9: ["pt", "long", "long"], 10: ["rc"],
    11: ["pt"], 12: ["pt"], 16: ["gr", "pt", "float", "float"], 17: ["gr", "pt", "pt"],
    18: ["pt", "pt"], 19: ["pt", "pt"], 20: ["pt", "pt", "float", "float"], 21: ["gr", "rc"],
    22: ["rc", "pt", "text"], 23: ["float", "text", "float"], 24: ["float", "text", "float"],
    25: ["float", "text", "float"], 26: ["byte"], 27: ["long"], 28: ["float"], 29: ["float"],
    30: ["text"], 32: ["float", "text", "float", "float"], 33: ["float", "text", "float", "float"],
    34: ["byte"], 35: ["byte"], 41: ["long"], 42: ["byte"], 51: ["text"], 52: ["long"], 53: ["byte"],
    55: ["byte"], 56: ["byte"], 57: ["byte"], 58: ["byte"], 59: ["byte"], 60: ["byte"], 61: ["word"],
    62: ["byte"], 63: ["byte"], 70: ["long", "byte", "byte", "float"], 71: ["long"], 72: ["byte"],
    73: ["byte"], 74: ["float"], 83: ["float"] * 3, 84: [], 85: [], 86: [], 87: ["byte"], 88: ["text"],
}


def operands(r, kinds):
    for k in kinds:
        if k == "pt":
            r.points(1)
        elif k == "rc":
            r.points(2)
        elif k == "gr":
            r.graphic()
        else:
            getattr(r, k)()


def record(r, code):
    if code in FIXED:
        operands(r, FIXED[code])
    elif code in (14, 15):
        h = r.word()
        if h < 0:
            raise Fault("polygon count %d" % h)
        r.points(h + 1)
    elif code == 31:
        n = r.long()
        r.need(n)
        r.p += n
    elif code == 36:
        n = r.long()
        r.need(n)
        r.p += n
        r.text()
        r.points(2)
    elif code == 37:
        r.named()
    elif code == 40:
        r.long()
        r.byte()
        if r.byte() == 1:
            r.graphic()
    elif code == 43:
        if r.byte() == 1:
            r.graphic()
    elif code == 50:
        r.text()
        r.long()
        r.byte()
        if r.version >= 2018:
            r.byte()
        r.float()
        for _ in range(4):
            r.byte()
        if r.version >= 2000:
            r.word()
    elif code == 54:
        r.float()
        if r.version >= 2000:
            r.float()
    else:
        raise Fault("unknown code %d at %d" % (code, r.p - 1))


def check(data):
    r = Reader(data)
    code = r.byte()
    if code == 90:
        r.version = r.word()
    elif code == 89:
        r.version = 2009
    elif code == 81:
        r.version = 1101
    else:
        raise Fault("header code %d" % code)
    if r.version >= 2010:
        r.text()
    count = r.word()
    r.word()
    r.word()
    width, height = r.float(), r.float()
    if not (0 < width <= 200 and 0 < height <= 200):
        raise Fault("page size %g x %g" % (width, height))
    for _ in range(4):
        r.float()
    r.byte()
    if r.version >= 2000:
        r.word()
        r.byte()
        r.byte()
    for _ in range(4):
        r.word()
    r.text()
    pages, records, codes = 0, 0, set()
    prev_pos, expect_next = 0, None
    while r.p < len(data):
        pos = r.p
        if r.byte() != 80:
            raise Fault("page record expected at %d" % pos)
        if expect_next is not None and expect_next != pos:
            raise Fault("next link %d but the page starts at %d" % (expect_next, pos))
        prev, nxt, number = r.long(), r.long(), r.word()
        pages += 1
        if prev != prev_pos or number != pages:
            raise Fault("page %d at %d: previous %d, number %d" % (pages, pos, prev, number))
        if r.version >= 2000:
            r.float()
            r.float()
        else:
            r.byte()
        while True:
            c = r.byte()
            records += 1
            codes.add(c)
            if c == 82:
                break
            record(r, c)
        if nxt == 0 and r.p != len(data):
            raise Fault("bytes after the last page at %d" % r.p)
        prev_pos, expect_next = pos, nxt
    if expect_next not in (None, 0):
        raise Fault("last page links to %d" % expect_next)
    if pages != count:
        raise Fault("header counts %d pages, the file holds %d" % (count, pages))
    return r.version, pages, records, sorted(codes)


def main():
    status = 0
    for name in sys.argv[1:]:
        with open(name, "rb") as f:
            data = f.read()
        try:
            v, p, n, codes = check(data)
            print("%s: version %d, %d pages, %d records, codes %s" % (name, v, p, n, ",".join(map(str, codes))))
        except Fault as e:
            print("%s: %s" % (name, e))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())

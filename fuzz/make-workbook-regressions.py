#!/usr/bin/env python3
"""Writes the hostile workbook streams that once crashed the reader, read past a record or
took quadratic time into fuzz/regressions/workbook/, where the sanitizer build replays them;
and the compound documents whose property sets once gave output quadratic in them."""

import importlib.util
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "regressions", "workbook")


def rec(rt, body=b""):
    return struct.pack("<HH", rt, len(body)) + body


def bof(dt):
    return rec(0x0809, struct.pack("<HHHHII", 0x0600, dt, 0, 1997, 0, 0))


def str16(s):
    return struct.pack("<HB", len(s), 0) + s.encode("latin-1")


def workbook(globals_, sheet):
    """Globals, one BOUNDSHEET named S pointing at the sheet, the sheet."""
    head = bof(5) + globals_
    ib = len(head) + len(rec(0x0085, b"\0" * 9)) + 4
    return head + rec(0x0085, struct.pack("<IBBBB", ib, 0, 0, 1, 0) + b"S") + rec(0x000A) + \
        bof(0x10) + sheet + rec(0x000A)


def label_sst(row, col, isst, ixfe=0):
    return rec(0x00FD, struct.pack("<HHHI", row, col, ixfe, isst))


def number_format(ifmt, code):
    """A FORMAT record and the XFs 0 (General) and 1 (that format)."""
    return rec(0x041E, struct.pack("<H", ifmt) + str16(code)) + \
        rec(0x00E0, b"\0" * 20) + rec(0x00E0, struct.pack("<HH", 0, ifmt) + b"\0" * 16)


def rk_cells(crow, ccol, ixfe, n):
    """MULRK rows of the whole number n, each shown through XF ixfe."""
    cells = struct.pack("<HI", ixfe, (n << 2) | 2) * ccol
    return b"".join(rec(0x00BD, struct.pack("<HH", row, 0) + cells + struct.pack("<H", ccol - 1))
                    for row in range(crow))


def cases():
    yield "sst-count-past-its-text", workbook(
        rec(0x00FC, struct.pack("<IIHB", 2, 1, 0xFFFF, 0) + b"abc"),
        label_sst(0, 0, 0) + label_sst(0, 1, 0))
    yield "sst-after-empty-continue", workbook(
        rec(0x00FC, struct.pack("<II", 3, 3) + str16("one")) + rec(0x003C) +
        rec(0x003C, str16("two") + str16("three")),
        b"".join(label_sst(0, i, i) for i in range(3)))
    yield "sst-repeat-over-empty-continues", workbook(
        rec(0x00FC, struct.pack("<IIHB", 1, 1, 2, 0) + b"a") + rec(0x003C) * 3000 +
        rec(0x003C, b"\0b"),
        b"".join(label_sst(r, 0, 0) for r in range(2000)))
    yield "short-cell-fields", workbook(
        b"",
        rec(0x0203, struct.pack("<HHH", 0, 0, 0)) +
        rec(0x0204, struct.pack("<HHHHB", 0, 1, 0, 50, 0) + b"cut") +
        rec(0x027E, struct.pack("<HHHH", 0, 2, 0, 1)) +
        rec(0x005D, struct.pack("<HHH", 0x15, 18, 25)) + rec(0x01B6, b"\0" * 4) +
        rec(0x0203, struct.pack("<HHHd", 9, 9, 0, 7.0)))
    # A text section that repeats a long string 4,000 times, and codes of tens of thousands
    # of tokens that show nothing, on many cells: each once cost the whole code a cell.
    yield "text-section-of-many-at", workbook(
        number_format(164, "@" * 4000) + rec(0x00FC, struct.pack("<II", 4, 1) + str16("x" * 4000)),
        b"".join(label_sst(r, 0, 0, 1) for r in range(4)))
    for name, code in (("scaling-commas", "#" + "," * 30000),
                       ("zeros-of-a-second", "h:mm:ss." + "0" * 30000),
                       ("commas-after-an-exponent", "0E+0" + "," * 30000)):
        yield name + "-on-many-numbers", workbook(number_format(164, code), rk_cells(40, 250, 1, 1234567))


def load(path):
    found = importlib.util.spec_from_file_location(os.path.basename(path).replace("-", "_")[:-3], path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


def property_cases():
    """(name, Book, DocumentSummaryInformation stream) of workbooks of one cell."""
    mx = load(os.path.join(HERE, "..", "tests", "workbook", "extras", "make-extras.py"))

    def book():
        b = mx.mw.Book(author="x")
        b.label(b.sheet("S"), 0, 0, "a")
        return b
    # The user-defined section of 500 properties listed 1,000 times at one offset.
    user = mx.section(1252, [(i + 2, mx.VT_I4, i) for i in range(500)], {i + 2: "p%d" % i for i in range(500)})
    count = 1000
    head = struct.pack("<HHI", 0xFFFE, 0, 0x00020006) + bytes(16) + struct.pack("<I", count)
    offset = len(head) + 20 * count
    yield "properties-section-listed-1000-times", book(), \
        head + (mx.FMTID_USER + struct.pack("<I", offset)) * count + user
    # One name of 30,000 characters given to 3,000 numbers.
    user = mx.section(1252, [(2, mx.VT_I4, i) for i in range(3000)], {2: "n" * 30000})
    yield "properties-long-name-shared", book(), mx.property_stream([(mx.FMTID_USER, user)])


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, data in cases():
        with open(os.path.join(OUT, name + ".bin"), "wb") as f:
            f.write(data)
    for name, book, stream in property_cases():
        book.write(os.path.join(OUT, name + ".xls"), [("\x05DocumentSummaryInformation", stream)])


if __name__ == "__main__":
    main()

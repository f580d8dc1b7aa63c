# Workbooks the tests write themselves: bare BIFF8 streams of one sheet, record by record, so
# that each case shows the bytes it is about.
import struct


def rec(rtype, body):
    return struct.pack("<HH", rtype, len(body)) + body


def bof(dt):
    return rec(0x0809, struct.pack("<HHHHII", 0x0600, dt, 0, 1997, 0, 0))


def number(row, col, value, xf=0):
    return rec(0x0203, struct.pack("<HHHd", row, col, xf, value))


def book(cells, globals_=b""):
    """One sheet named S holding cells; XF 0 shows format 14, a date."""
    xf = rec(0x00E0, struct.pack("<HHHBBBBIIH", 0, 14, 0, 0, 0, 0, 0, 0, 0, 0))
    head = bof(0x0005) + globals_ + xf
    boundsheet = rec(0x0085, struct.pack("<IBBBB", len(head) + 4 + 9 + 4, 0, 0, 1, 0) + b"S")
    return head + boundsheet + rec(0x000A, b"") + bof(0x0010) + cells + rec(0x000A, b"")

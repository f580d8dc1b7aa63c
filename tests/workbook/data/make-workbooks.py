# Writes the workbooks of this folder and examples/sample.xls: BIFF8 and BIFF5/7 workbooks built
# record by record for what the spreadsheet programs' files in tests/data do not cover.
# Not run by CI: run it by hand with /usr/bin/python3 (standard library only) and commit the files.
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLES = os.path.join(HERE, "..", "..", "..", "examples")


def rec(rtype, body):
    return struct.pack("<HH", rtype, len(body)) + body


def u16(n):
    return struct.pack("<H", n)


def u32(n):
    return struct.pack("<I", n)


def wide(s):
    return any(ord(c) > 0xFF for c in s)


def chars(s):
    """BIFF8 characters with their flags byte: 8-bit (Latin-1) when every one fits."""
    if wide(s):
        return b"\x01" + s.encode("utf-16-le")
    return b"\x00" + s.encode("latin-1")


def units(s):
    return len(s.encode("utf-16-le")) // 2


def ustr16(s):
    return u16(units(s)) + chars(s)


def ustr8(s):
    return bytes([units(s)]) + chars(s)


class Book:
    """One workbook. biff is 8 or 7 (7 writes the 'Book' stream in a code page)."""

    def __init__(self, biff=8, codepage=None, author="cellsift generator", date1904=False):
        self.biff = biff
        self.codepage = codepage if codepage is not None else (1200 if biff == 8 else None)
        self.author = author
        self.date1904 = date1904
        self.formats = {}  # custom formats: index -> string
        self.xf_formats = []  # cell XFs after the 15 style XFs and the default cell XF
        self.sst = []
        self.sst_index = {}
        self.sheets = []  # [name, [records], state, kind]
        self.encoding = {1200: "utf-16-le", 1251: "cp1251", 1252: "cp1252", 1253: "cp1253",
                         932: "cp932", 936: "gbk", 10000: "mac_roman", None: "cp1252"}[self.codepage]

    def bytestr(self, s, count_size):
        data = s.encode(self.encoding)
        return (bytes([len(data)]) if count_size == 1 else u16(len(data))) + data

    def xf(self, fmt):
        """The index of a cell XF showing number format fmt (an index or a format string)."""
        if isinstance(fmt, str):
            index = next((k for k, v in self.formats.items() if v == fmt), None)
            if index is None:
                index = 164 + len(self.formats)
                self.formats[index] = fmt
            fmt = index
        if fmt not in self.xf_formats:
            self.xf_formats.append(fmt)
        return 16 + self.xf_formats.index(fmt)

    def sheet(self, name, state=0, kind=0):
        self.sheets.append([name, [], state, kind])
        return self.sheets[-1][1]

    def shared(self, s):
        if s not in self.sst_index:
            self.sst_index[s] = len(self.sst)
            self.sst.append(s)
        return self.sst_index[s]

    # Cells --------------------------------------------------------------------------
    def text(self, recs, row, col, s, xf=15):
        if self.biff == 8:
            recs.append(rec(0x00FD, struct.pack("<HHHI", row, col, xf, self.shared(s))))
        else:
            recs.append(rec(0x0204, struct.pack("<HHH", row, col, xf) + self.bytestr(s, 2)))

    def label(self, recs, row, col, s, xf=15):
        body = struct.pack("<HHH", row, col, xf)
        recs.append(rec(0x0204, body + (ustr16(s) if self.biff == 8 else self.bytestr(s, 2))))

    def number(self, recs, row, col, value, xf=15):
        recs.append(rec(0x0203, struct.pack("<HHHd", row, col, xf, value)))

    def rk(self, recs, row, col, rk, xf=15):
        recs.append(rec(0x027E, struct.pack("<HHHI", row, col, xf, rk)))

    def boolerr(self, recs, row, col, value, is_error):
        recs.append(rec(0x0205, struct.pack("<HHHBB", row, col, 15, value, 1 if is_error else 0)))

    def formula(self, recs, row, col, result, rgce, xf=15, string=None):
        body = struct.pack("<HHH", row, col, xf) + result + u16(0) + u32(0) + u16(len(rgce)) + rgce
        recs.append(rec(0x0006, body))
        if string is not None:
            recs.append(rec(0x0207, ustr16(string) if self.biff == 8 else self.bytestr(string, 2)))

    def comment(self, recs, notes, obj_id, row, col, author, text):
        """OBJ and TXO go in the sheet's drawing; the NOTE, naming them, at the sheet's end."""
        if self.biff == 8:
            recs.append(rec(0x005D, u16(0x15) + u16(18) + u16(0x19) + u16(obj_id) + u16(0x4011) +
                            bytes(12) + u32(0)))
            self.txo(recs, text)
            notes.append(rec(0x001C, struct.pack("<HHHH", row, col, 0, obj_id) + ustr16(author) + b"\0"))
        else:
            data = text.encode(self.encoding)
            notes.append(rec(0x001C, struct.pack("<HHH", row, col, len(data)) + data))

    def textbox(self, recs, obj_id, text):
        recs.append(rec(0x005D, u16(0x15) + u16(18) + u16(6) + u16(obj_id) + u16(0x6011) +
                        bytes(12) + u32(0)))
        self.txo(recs, text)

    def txo(self, recs, text):
        n = units(text)
        recs.append(rec(0x01B6, u16(0x0212) + u16(0) + bytes(6) + u16(n) + u16(16) + bytes(4)))
        recs.append(rec(0x003C, chars(text)))
        recs.append(rec(0x003C, struct.pack("<HHI", 0, 0, 0) + struct.pack("<HHI", n, 0, 0)))

    # The stream ----------------------------------------------------------------------
    def bof(self, dt):
        vers = 0x0600 if self.biff == 8 else 0x0500
        if self.biff == 8:
            return rec(0x0809, struct.pack("<HHHHII", vers, dt, 0x0DBB, 0x07CC, 0x41, 6))
        return rec(0x0809, struct.pack("<HHHH", vers, dt, 0x0DBB, 0x07CC))

    def font(self):
        fixed = struct.pack("<HHHHHBBBB", 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0)
        return rec(0x0031, fixed + (ustr8("Arial") if self.biff == 8 else self.bytestr("Arial", 1)))

    def xf_record(self, fmt, style):
        prot = 0xFFF5 if style else 0x0001
        if self.biff == 8:
            return rec(0x00E0, struct.pack("<HHHBBBBIIH", 0, fmt, prot, 0x20, 0, 0,
                                           0 if style else 0xF8, 0, 0, 0x20C0))
        return rec(0x00E0, struct.pack("<HHHBBII", 0, fmt, prot, 0x20, 0 if style else 0xF8,
                                       0x000020C0, 0))

    def sst_records(self):
        """The SST and its CONTINUE records. A string cut at a record's end goes on with a
        flags byte of its own, 8-bit when the rest of it fits: its width changes at the cut."""
        limit = 8224
        out, part, rtype = [], u32(len(self.sst)) + u32(len(self.sst)), 0x00FC
        for s in self.sst:
            if len(part) + 5 > limit:
                out.append(rec(rtype, part))
                part, rtype = b"", 0x003C
            part += u16(units(s)) + (b"\x01" if wide(s) else b"\x00")
            rest, is_wide = s, wide(s)
            while rest:
                size = 2 if is_wide else 1
                n = min(len(rest), (limit - len(part)) // size)
                if any(ord(c) > 0xFFFF for c in rest[:n + 1]):
                    n = max(0, n - 1)  # a surrogate pair stays in one record
                part += rest[:n].encode("utf-16-le" if is_wide else "latin-1")
                rest = rest[n:]
                if rest:
                    out.append(rec(rtype, part))
                    is_wide = wide(rest)
                    part, rtype = (b"\x01" if is_wide else b"\x00"), 0x003C
        out.append(rec(rtype, part))
        return b"".join(out)

    def stream(self):
        g = [self.bof(0x0005)]
        if self.biff == 8:
            g.append(rec(0x005C, (ustr16(self.author) + b" " * 112)[:112]))
        else:
            g.append(rec(0x005C, (self.bytestr(self.author, 1) + b" " * 32)[:32]))
        if self.codepage is not None:
            g.append(rec(0x0042, u16(self.codepage)))
        g.append(rec(0x0022, u16(1 if self.date1904 else 0)))
        g += [self.font() for _ in range(4)]
        for index, fmt in sorted(self.formats.items()):
            g.append(rec(0x041E, u16(index) + (ustr16(fmt) if self.biff == 8 else self.bytestr(fmt, 1))))
        g += [self.xf_record(0, True) for _ in range(15)]
        g.append(self.xf_record(0, False))
        g += [self.xf_record(fmt, False) for fmt in self.xf_formats]
        g.append(rec(0x0293, u16(0x8000) + b"\x00\xFF"))
        names = [ustr8(n) if self.biff == 8 else self.bytestr(n, 1) for n, _, _, _ in self.sheets]
        boundsheet_size = sum(4 + 6 + len(n) for n in names)
        tail = [self.sst_records()] if self.biff == 8 else []
        tail.append(rec(0x000A, b""))
        offset = len(b"".join(g)) + boundsheet_size + len(b"".join(tail))
        substreams = []
        for (name, recs, state, kind), encoded in zip(self.sheets, names):
            body = self.bof(0x0020 if kind == 2 else 0x0010) + b"".join(recs) + rec(0x023E, bytes(18 if self.biff == 8 else 10)) + rec(0x000A, b"")
            g.append(rec(0x0085, u32(offset) + bytes([state, kind]) + encoded))
            substreams.append(body)
            offset += len(body)
        data = b"".join(g + tail + substreams)
        return data + bytes(max(0, 4096 - len(data)))  # stays out of the mini stream

    def write(self, path, extra_streams=()):
        write_cfb(path, [("Workbook" if self.biff == 8 else "Book", self.stream())] + list(extra_streams))


def write_cfb(path, streams):
    """A version 3 compound document holding the streams [(name, data)] in regular sectors
    (each padded to 4096 bytes, so none goes to the mini stream), as siblings under the root."""
    sector = 512
    streams = sorted(((n, d + bytes(max(0, 4096 - len(d)))) for n, d in streams),
                     key=lambda s: (len(s[0]), s[0].upper()))
    n_data = [(len(d) + sector - 1) // sector for _, d in streams]
    n_fat = 1
    while (sum(n_data) + 1 + n_fat) > n_fat * 128:
        n_fat += 1
    assert n_fat <= 109 and len(streams) <= 3
    fat = [0xFFFFFFFD] * n_fat  # the FAT's own sectors
    fat.append(0xFFFFFFFE)  # the directory: one sector
    starts = []
    for n in n_data:
        starts.append(len(fat))
        fat += [len(fat) + i + 1 for i in range(n - 1)] + [0xFFFFFFFE]
    fat += [0xFFFFFFFF] * (n_fat * 128 - len(fat))
    header = (b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + bytes(16) + struct.pack("<HHHHH", 0x3E, 3, 0xFFFE, 9, 6) +
              bytes(6) + struct.pack("<IIIIIIII", 0, n_fat, n_fat, 0, 4096, 0xFFFFFFFE, 0, 0xFFFFFFFE) +
              u32(0))
    header = header[:0x4C]
    difat = list(range(n_fat)) + [0xFFFFFFFF] * (109 - n_fat)
    header += struct.pack("<109I", *difat)

    def entry(ename, etype, right, child, start, size):
        encoded = (ename + "\0").encode("utf-16-le")
        return (encoded + bytes(64 - len(encoded)) + struct.pack("<HBB", len(encoded), etype, 1) +
                struct.pack("<III", 0xFFFFFFFF, right, child) + bytes(16 + 4 + 16) +
                struct.pack("<III", start, size, 0))

    # The siblings in ascending order, each the right child of the one before: a valid tree.
    directory = entry("Root Entry", 5, 0xFFFFFFFF, 1, 0xFFFFFFFE, 0)
    for i, ((name, data), start) in enumerate(zip(streams, starts)):
        right = i + 2 if i + 1 < len(streams) else 0xFFFFFFFF
        directory += entry(name, 2, right, 0xFFFFFFFF, start, len(data))
    directory += (bytes(64) + struct.pack("<HBB", 0, 0, 0) + struct.pack("<III", 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF) +
                  bytes(48)) * (3 - len(streams))
    body = struct.pack("<%dI" % len(fat), *fat) + directory + b"".join(d for _, d in streams)
    body += bytes((-len(body)) % sector)
    with open(path, "wb") as f:
        f.write(header + body)


def rk_int(n):
    return ((n << 2) | 2) & 0xFFFFFFFF


def tstr(s):
    return b"\x17" + ustr8(s)


def result_number(value):
    return struct.pack("<d", value)


def result_special(kind, value=0):
    return bytes([kind, 0, value, 0, 0, 0, 0xFF, 0xFF])


# The workbooks ----------------------------------------------------------------------


def dates(path, date1904):
    b = Book(date1904=date1904)
    s = b.sheet("Даты" if not date1904 else "Dates 1904")
    b.label(s, 0, 0, "built-in 14")
    b.label(s, 0, 1, "built-in 22")
    b.label(s, 0, 2, "custom")
    b.label(s, 0, 3, "time")
    b.label(s, 0, 4, "not a date")
    base = 45352 - (1462 if date1904 else 0)  # 2024-03-01
    for row, (day, frac) in enumerate([(0, 0), (1, 0.5), (365, 0.25), (-10000, 0.75)], start=1):
        b.number(s, row, 0, base + day, b.xf(14))
        b.number(s, row, 1, base + day + frac, b.xf(22))
        b.number(s, row, 2, base + day + frac, b.xf('yyyy\\-mm\\-dd" at "hh:mm:ss'))
        b.number(s, row, 3, frac + 1 / 86400 * row, b.xf("[h]:mm:ss"))
        b.number(s, row, 4, base + day, b.xf('0.00" days"'))
    b.rk(s, 5, 0, rk_int(base), b.xf("d/m/yy"))
    b.number(s, 5, 1, 2.5, b.xf("mm:ss.0"))
    b.formula(s, 5, 2, result_number(base + 1), b"\x1E" + u16(1), b.xf(15))
    b.write(path)


def formulas(path):
    b = Book()
    s = b.sheet("Formulas")
    b.formula(s, 0, 0, result_number(42.5), b"\x1F" + struct.pack("<d", 42.5))
    b.formula(s, 1, 0, result_special(0), tstr("Итог: 1"), string="Итог: 1")
    b.formula(s, 2, 0, result_special(1, 1), b"\x1D\x01")
    b.formula(s, 3, 0, result_special(1, 0), b"\x1D\x00")
    b.formula(s, 4, 0, result_special(2, 0x07), b"\x1C\x07")
    b.formula(s, 5, 0, result_special(2, 0x2A), b"\x1C\x2A")
    b.formula(s, 6, 0, result_special(3), tstr(""))
    b.formula(s, 7, 0, result_special(0), tstr("日本語 ✓"), string="日本語 ✓")
    for row, code in enumerate([0x00, 0x07, 0x0F, 0x17, 0x1D, 0x24, 0x2A]):
        b.boolerr(s, row, 1, code, True)
    b.boolerr(s, 0, 2, 1, False)
    b.boolerr(s, 1, 2, 0, False)
    b.write(path)


def biff7(path, codepage, sheet_name, texts, author):
    b = Book(biff=7, codepage=codepage, author=author)
    s = b.sheet(sheet_name)
    notes = []
    for row, text in enumerate(texts):
        b.text(s, row, 0, text)
        b.number(s, row, 1, row * 1.5)
    b.comment(s, notes, 1, 0, 0, "", texts[0])
    s += notes
    b.sheet("2")
    b.write(path)


def comments(path):
    b = Book(author="Анна Каренина")
    s = b.sheet("Заметки")
    notes = []
    b.text(s, 0, 0, "Ячейка с комментарием")
    b.text(s, 1, 1, "Cell with a note")
    b.comment(s, notes, 1, 0, 0, "Мария", "Уточнить у поставщика")
    b.comment(s, notes, 2, 1, 1, "José", "Revisar el año y la 東京 entrega\nsegunda línea")
    b.textbox(s, 3, "Text box: 北京, Ελλάδα")
    s += notes
    b.write(path)


def many_strings(path):
    b = Book()
    s = b.sheet("Strings")
    # 70,000 distinct strings, a few 16-bit ones among them, all in the table.
    for i in range(70000):
        text = ("строка %d" % i) if i % 1000 == 7 else ("s%05d" % i)
        b.shared(text)
    long_wide = "Ж" * 5000 + "end"
    b.shared(long_wide)
    for row, index in enumerate([0, 7, 65535, 65536, 65537, 69999]):
        b.text(s, row, 0, b.sst[index])
    b.text(s, 6, 0, long_wide)
    b.write(path)


def edges(path):
    b = Book(author="x")
    first = b.sheet("Первый")
    hidden = b.sheet("Hidden", state=1)
    b.label(first, 0, 0, "emoji 😀 and 𝄞")
    b.text(first, 0, 1, "")
    b.text(first, 0, 2, "tab\tand\nnewline, \"quotes\"")
    b.rk(first, 1, 0, rk_int(-7))
    b.rk(first, 1, 1, rk_int(12345) | 1)  # 123.45
    b.rk(first, 1, 2, (struct.unpack("<Q", struct.pack("<d", 0.5))[0] >> 32) & 0xFFFFFFFC)
    first.append(rec(0x00BD, struct.pack("<HH", 2, 3) + struct.pack("<HI", 15, rk_int(1)) +
                     struct.pack("<HI", 15, rk_int(2)) + struct.pack("<HI", 15, rk_int(3)) + u16(5)))
    b.number(first, 3, 0, 1e-7)
    b.number(first, 3, 1, 123456789012345680.0)
    b.number(first, 3, 2, -0.1)
    b.number(first, 4, 255, 255.0)
    b.label(hidden, 0, 0, "in a hidden sheet")
    b.write(path)


def sample(path):
    b = Book(author="Calc")
    goods = b.sheet("Товары")
    notes = []
    b.text(goods, 0, 0, "Наименование")
    b.text(goods, 0, 1, "Цена")
    b.text(goods, 0, 2, "Поставка")
    for row, (name, price, day) in enumerate([("Чай зелёный", 149.9, 45352), ("Кофе молотый", 320, 45366)], 1):
        b.text(goods, row, 0, name)
        b.number(goods, row, 1, price)
        b.number(goods, row, 2, day, b.xf(14))
    b.text(goods, 3, 0, "Итого")
    b.formula(goods, 3, 1, result_number(469.9), b"\x1F" + struct.pack("<d", 469.9))
    b.comment(goods, notes, 1, 1, 0, "Мария", "Уточнить у поставщика")
    goods += notes
    other = b.sheet("Notes")
    b.text(other, 0, 0, "Café au lait, crème brûlée")
    b.text(other, 1, 0, "Grüße aus München")
    b.number(other, 1, 1, 2024)
    b.text(other, 2, 0, "東京の緑茶")
    b.text(other, 2, 1, "北京")
    b.textbox(other, 1, "Prices in roubles, VAT included")
    b.write(path)


def main():
    dates(os.path.join(HERE, "gen-dates-1900.xls"), False)
    dates(os.path.join(HERE, "gen-dates-1904.xls"), True)
    formulas(os.path.join(HERE, "gen-formulas.xls"))
    biff7(os.path.join(HERE, "gen-biff7-cp1251.xls"), 1251, "Отчёт",
          ["Привет, мир", "№ «кавычки» — тире", "Ёлка"], "Пётр")
    biff7(os.path.join(HERE, "gen-biff7-cp1252.xls"), 1252, "Übersicht",
          ["Größe", "Crème brûlée €5", "Œuvre"], "José")
    biff7(os.path.join(HERE, "gen-biff7-cp932.xls"), 932, "日本", ["東京タワー", "ｶﾀｶﾅ", "漢字"], "山田")
    biff7(os.path.join(HERE, "gen-biff7-cp1253.xls"), 1253, "Φύλλο", ["Καλημέρα", "Ωμέγα"], "Νίκος")
    biff7(os.path.join(HERE, "gen-biff7-mac.xls"), 10000, "Résumé", ["Crème", "naïve façade"], "Zoë")
    biff7(os.path.join(HERE, "gen-biff5-nocodepage.xls"), None, "Sheet", ["Ünïcödé €"], "root")
    comments(os.path.join(HERE, "gen-comments.xls"))
    many_strings(os.path.join(HERE, "gen-70000-strings.xls"))
    edges(os.path.join(HERE, "gen-edges.xls"))
    sample(os.path.join(EXAMPLES, "sample.xls"))


if __name__ == "__main__":
    sys.exit(main())

# Writes the record-made workbooks of this folder: what LibreOffice cannot put into an .xls
# (chart sheets, series names of their own, UNC and relative file links, tooltips, first-page and
# even-page headers, property sets in chosen code pages with every type of user property).
# Not run by CI: make-extras.sh runs it; run with /usr/bin/python3 (standard library only).
import datetime
import importlib.util
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location(
    "make_workbooks", os.path.join(HERE, "..", "data", "make-workbooks.py"))
mw = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(mw)
rec, u16, u32, ustr16, ustr8 = mw.rec, mw.u16, mw.u32, mw.ustr16, mw.ustr8

FMTID_SUMMARY = bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9")
FMTID_DOCSUMMARY = bytes.fromhex("02D5CDD59C2E1B10939708002B2CF9AE")
FMTID_USER = bytes.fromhex("05D5CDD59C2E1B10939708002B2CF9AE")
VT_I2, VT_I4, VT_R8, VT_BOOL, VT_LPSTR, VT_LPWSTR, VT_FILETIME = 2, 3, 5, 11, 30, 31, 64


def pad4(b):
    return b + bytes(-len(b) % 4)


def filetime(iso):
    t = datetime.datetime.fromisoformat(iso) - datetime.datetime(1601, 1, 1)
    return (t.days * 86400 + t.seconds) * 10000000


def value(vt, v, encoding):
    if vt == VT_LPSTR:
        data = v.encode(encoding) + (b"\0\0" if encoding == "utf-16-le" else b"\0")
        return pad4(u32(vt) + u32(len(data)) + data)
    if vt == VT_LPWSTR:
        return pad4(u32(vt) + u32(len(v) + 1) + (v + "\0").encode("utf-16-le"))
    if vt == VT_FILETIME:
        return u32(vt) + struct.pack("<Q", filetime(v))
    if vt == VT_R8:
        return u32(vt) + struct.pack("<d", v)
    if vt == VT_BOOL:
        return u32(vt) + struct.pack("<hH", -1 if v else 0, 0)
    if vt == VT_I2:
        return u32(vt) + struct.pack("<hH", v, 0)
    return u32(vt) + struct.pack("<i", v)


def section(codepage, props, names=None):
    """props: [(pid, vt, value)]; names: {pid: name} for the dictionary of user properties."""
    encoding = {1200: "utf-16-le", 1251: "cp1251", 1252: "cp1252", 65001: "utf-8"}[codepage]
    items = [(1, value(VT_I2, codepage - 65536 if codepage > 32767 else codepage, None))]
    if names is not None:
        d = u32(len(names))
        for pid, name in names.items():
            if codepage == 1200:
                d += pad4(u32(pid) + u32(len(name) + 1) + (name + "\0").encode("utf-16-le"))
            else:
                data = name.encode(encoding) + b"\0"
                d += u32(pid) + u32(len(data)) + data
        items.insert(0, (0, pad4(d)))
    items += [(pid, value(vt, v, encoding)) for pid, vt, v in props]
    offset, table, body = 8 + 8 * len(items), b"", b""
    for pid, data in items:
        table += u32(pid) + u32(offset + len(body))
        body += data
    return u32(8 + len(table) + len(body)) + u32(len(items)) + table + body


def property_stream(sections):
    """sections: [(fmtid, section bytes)]"""
    out = struct.pack("<HHI", 0xFFFE, 0, 0x00020006) + bytes(16) + u32(len(sections))
    offset = len(out) + 20 * len(sections)
    table, body = b"", b""
    for fmtid, data in sections:
        table += fmtid + u32(offset + len(body))
        body += data
    return out + table + body


# --- records --------------------------------------------------------------------------------
URL_MONIKER = bytes.fromhex("E0C9EA79F9BACE118C8200AA004BA90B")
FILE_MONIKER = bytes.fromhex("0303000000000000C000000000000046")


def hstr(s):
    return u32(len(s) + 1) + (s + "\0").encode("utf-16-le")


def hlink(r1, r2, c1, c2, desc=None, url=None, unc=None, file=None, location=None):
    flags, body = 0, b""
    if desc is not None:
        flags |= 0x14
        body += hstr(desc)
    if url is not None:
        flags |= 0x03
        data = (url + "\0").encode("utf-16-le")
        body += URL_MONIKER + u32(len(data)) + data
    if unc is not None:
        flags |= 0x103
        body += hstr(unc)
    if file is not None:
        up, path = file
        flags |= 0x01
        ansi = path.encode("cp1252") + b"\0"
        body += FILE_MONIKER + u16(up) + u32(len(ansi)) + ansi + b"\xFF\xFF\xAD\xDE" + bytes(20) + u32(0)
    if location is not None:
        flags |= 0x08
        body += hstr(location)
    head = struct.pack("<HHHH", r1, r2, c1, c2) + bytes.fromhex("D0C9EA79F9BACE118C8200AA004BA90B")
    return rec(0x01B8, head + u32(2) + u32(flags) + body)


def tooltip(r1, r2, c1, c2, text):
    return rec(0x0800, struct.pack("<HHHHH", 0x0800, r1, r2, c1, c2) + (text + "\0").encode("utf-16-le"))


def chart_text(book, link, text):
    """A TEXT block: its OBJECTLINK says what it labels (1 title, 2 value axis, 3 category axis,
    4 a data label), its SERIESTEXT holds the words."""
    return [rec(0x1025, bytes(32)), rec(0x1033, b""), rec(0x1026, bytes(4)),
            rec(0x1051, bytes([0, 1]) + bytes(6)), seriestext(book, text),
            rec(0x1027, u16(link) + u16(0) + u16(0)), rec(0x1034, b"")]


def seriestext(book, text):
    return rec(0x100D, u16(0) + (ustr8(text) if book.biff == 8 else book.bytestr(text, 1)))


def chart_records(book, title, series, axes, labels, cached=()):
    """A chart's records after its BOF: cached values as a chart sheet keeps them, the series
    with their names, then the title, axis titles and data labels."""
    r = [rec(0x1002, bytes(16)), rec(0x1033, b"")]
    for i, v in enumerate(cached):
        r.append(rec(0x0203, struct.pack("<HHHd", i, 1, 0, v)))
    for name in series:
        r += [rec(0x1003, bytes(12)), rec(0x1033, b""),
              rec(0x1051, bytes([0, 1]) + bytes(6)), seriestext(book, name),
              rec(0x1051, bytes([1, 2]) + bytes(6)), rec(0x1034, b"")]
    r += chart_text(book, 1, title)
    for link, text in axes:
        r += chart_text(book, link, text)
    for text in labels:
        r += chart_text(book, 4, text)
    r.append(rec(0x1034, b""))
    return r


def header_footer_variants(even_header, even_footer, first_header, first_footer):
    strs = [even_header, even_footer, first_header, first_footer]
    body = u16(0x089C) + bytes(10) + bytes(16) + u16(0x0003) + b"".join(u16(len(s)) for s in strs)
    body += b"".join(ustr16(s) for s in strs if s)
    return rec(0x089C, body)


def biff8(path):
    b = mw.Book(author="Saver Person")
    links = b.sheet("Links")
    b.label(links, 0, 0, "Home page")
    b.label(links, 1, 0, "Share")
    b.label(links, 2, 0, "Report")
    b.label(links, 3, 0, "Inside")
    b.label(links, 4, 0, "Range")
    links.append(rec(0x0014, ustr16("&L&\"Arial,Bold\"&14Quarterly && Annual&RPrinted &D &T")))
    links.append(rec(0x0015, ustr16("&CPage &P of &N&R&F / &A")))
    links.append(header_footer_variants("Even header &P", "", "First page header", "First page footer"))
    links.append(hlink(0, 0, 0, 0, desc="Home page", url="http://poi.apache.org/"))
    links.append(tooltip(0, 0, 0, 0, "Opens the project's home page"))
    links.append(hlink(1, 1, 0, 0, desc="Share", unc="\\\\fileserver\\share\\budget.xls"))
    links.append(hlink(2, 2, 0, 0, desc="Report", file=(2, "reports\\q1 résumé.xls"), location="Summary!B2"))
    links.append(hlink(3, 3, 0, 0, desc="Inside", location="WebLinks!A1"))
    links.append(hlink(4, 5, 0, 1, url="mailto:dev@poi.apache.org"))
    data = b.sheet("Data")
    b.label(data, 0, 0, "Apples")
    b.number(data, 0, 1, 3)
    b.number(data, 1, 1, 5)
    # An embedded chart: a substream of its own inside the worksheet's.
    data += [b.bof(0x0020)] + chart_records(b, "Pie Chart Title Thingy", ["Fruit share"], [], ["Biggest"]) + \
        [rec(0x000A, b"")]
    chart = b.sheet("Chart1", kind=2)
    chart += chart_records(b, "Favorite Fruits", ["Apples", "Pears"],
                           [(3, "Month"), (2, "Kilograms")], ["Peak of the season"], cached=[3.5, 4.25, 9.75])
    summary = property_stream([(FMTID_SUMMARY, section(1252, [
        (2, VT_LPSTR, "Carrefour"), (3, VT_LPSTR, "Générique"), (4, VT_LPSTR, "SIRRI EKER"),
        (5, VT_LPSTR, "Testing Sample Formulas"), (6, VT_LPSTR, "Line one\r\nline two"),
        (8, VT_LPSTR, "Saver Person"), (12, VT_FILETIME, "2006-02-01T09:30:15"),
        (13, VT_FILETIME, "2024-12-31T23:59:59"), (18, VT_LPSTR, "cellsift generator")]))])
    docsummary = property_stream([
        (FMTID_DOCSUMMARY, section(1252, [(2, VT_LPSTR, "Reports"), (14, VT_LPSTR, "Ms Manager"),
                                          (15, VT_LPSTR, "Cingular Wireless")])),
        (FMTID_USER, section(1252, [(2, VT_LPSTR, "Ünïcode text"), (3, VT_I4, -42), (4, VT_R8, 2.5),
                                    (5, VT_BOOL, True), (6, VT_FILETIME, "2020-02-29T12:00:00"),
                                    (7, VT_LPWSTR, "日本語")],
                             {2: "Client", 3: "Offset", 4: "Rate", 5: "Approved", 6: "Due", 7: "Wide"}))])
    b.write(path, [("\x05SummaryInformation", summary), ("\x05DocumentSummaryInformation", docsummary)])


def biff7(path):
    b = mw.Book(biff=7, codepage=1251, author="Пётр")
    sheet = b.sheet("Отчёт")
    b.label(sheet, 0, 0, "Привет")
    sheet.append(rec(0x0014, b.bytestr("&CОтчёт за &D", 1)))
    sheet.append(rec(0x0015, b.bytestr("&LСтраница &P&RКонфиденциально", 1)))
    sheet += [b.bof(0x0020)] + chart_records(b, "Продажи", ["Яблоки"], [(2, "Тонны")], []) + [rec(0x000A, b"")]
    summary = property_stream([(FMTID_SUMMARY, section(1251, [
        (2, VT_LPSTR, "Отчёт о продажах"), (4, VT_LPSTR, "Иван Петров")]))])
    docsummary = property_stream([
        (FMTID_DOCSUMMARY, section(1200, [(15, VT_LPSTR, "ООО «Ромашка»")])),
        (FMTID_USER, section(1200, [(2, VT_LPSTR, "значение")], {2: "Отдел"}))])
    b.write(path, [("\x05SummaryInformation", summary), ("\x05DocumentSummaryInformation", docsummary)])


def cjk(path):
    """Headers in a double-byte font with a page offset, as a Chinese workbook has them on every
    sheet, and property sets in UTF-8 (code page 65001)."""
    b = mw.Book(author="王小明")
    for name in ("第一季度", "第二季度"):
        sheet = b.sheet(name)
        b.label(sheet, 0, 0, "收入")
        sheet.append(rec(0x0014, ustr16('&"宋体,常规"财务报表&P-1')))
        sheet.append(rec(0x0015, ustr16('&C&"黑体,加粗"第 &P 页，共 &N 页')))
    summary = property_stream([(FMTID_SUMMARY, section(65001, [
        (2, VT_LPSTR, "季度财务报表"), (4, VT_LPSTR, "王小明"), (8, VT_LPSTR, "李华")]))])
    docsummary = property_stream([
        (FMTID_DOCSUMMARY, section(65001, [(15, VT_LPSTR, "北京某某有限公司")])),
        (FMTID_USER, section(65001, [(2, VT_LPSTR, "财务部")], {2: "部门"}))])
    b.write(path, [("\x05SummaryInformation", summary), ("\x05DocumentSummaryInformation", docsummary)])


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    biff8(os.path.join(out, "gen-extras.xls"))
    biff7(os.path.join(out, "gen-extras-biff7.xls"))
    cjk(os.path.join(out, "gen-extras-cjk.xls"))


if __name__ == "__main__":
    sys.exit(main())

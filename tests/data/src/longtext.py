#!/usr/bin/python3
"""Long cell texts that overflow the shared string table record into
CONTINUE records.  `longtext.py fods OUT.fods` writes a LibreOffice source
document; `longtext.py xlwt OUT.xls` writes the workbook with xlwt.
Each text is built from numbered chunks so a reader can see where it breaks.
"""
import sys
from xml.sax.saxutils import escape

LATIN = "Voilà un café très crème à Zürich, Größe ñandú {n:04d}. "
CYRIL = "Широкая электрификация южных губерний {n:04d}. "


def make(pattern, tag, length):
    out, n = [], 0
    total = 0
    while total < length:
        piece = pattern.format(n=n)
        out.append(piece)
        total += len(piece)
        n += 1
    text = "".join(out)[:length - len(tag) - 2]
    return "<" + tag + text + ">"


# (sheet, cells row-major).  8-bit texts use only characters below U+0100;
# 16-bit texts are Cyrillic.  Lengths are in characters.
def texts():
    return [
        ("Long", [
            make(LATIN, "L1:", 3000),
            make(CYRIL, "C1:", 3000),
            make(LATIN, "L2:", 5500),
            make(CYRIL, "C2:", 4500),
            make(LATIN, "L3:", 9000),
            make(CYRIL, "C3:", 7000),
            "short after long",
            "короткая строка после длинных",
        ]),
    ]


def write_fods(path):
    rows = []
    for sheet, cells in texts():
        body = []
        for t in cells:
            body.append('<table:table-row><table:table-cell office:value-type="string">'
                        '<text:p>%s</text:p></table:table-cell>'
                        '<table:table-cell office:value-type="float" office:value="%d.125">'
                        '<text:p>%d.125</text:p></table:table-cell></table:table-row>'
                        % (escape(t), len(t), len(t)))
        rows.append('<table:table table:name="%s">%s</table:table>' % (escape(sheet), "".join(body)))
    doc = ('<?xml version="1.0" encoding="UTF-8"?>\n'
           '<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
           'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
           'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
           'office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">'
           '<office:body><office:spreadsheet>%s</office:spreadsheet></office:body></office:document>\n'
           % "".join(rows))
    with open(path, "w", encoding="utf-8") as f:
        f.write(doc)


def write_xlwt(path):
    import xlwt
    wb = xlwt.Workbook(encoding="utf-8")
    wb.owner = "xlwt long"
    for sheet, cells in texts():
        ws = wb.add_sheet(sheet)
        for r, t in enumerate(cells):
            ws.write(r, 0, t)
            ws.write(r, 1, len(t) + 0.125)   # a number the text does not contain
    wb.save(path)


if __name__ == "__main__":
    {"fods": write_fods, "xlwt": write_xlwt}[sys.argv[1]](sys.argv[2])

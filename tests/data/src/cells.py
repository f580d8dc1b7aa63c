#!/usr/bin/python3
"""Write NAME.cells.txt for a workbook from what a spreadsheet program reads
back from it.  Usage: cells.py lo|gnumeric FILE.xls OUT.cells.txt
  lo:       soffice converts the file to ODS, which gives each cell's type,
            shown text, the comments and the text of drawing objects;
  gnumeric: ssconvert converts it to Gnumeric XML (types, comments, sheet
            names) and to one CSV per sheet (shown values of formulas).
The author line is the name stored in the file's WRITEACCESS record.
Output: cell texts (sheet by sheet, row by row), then the sections
'--- absent', '--- sheets', '--- author', '--- notes', '--- formula-text'.
"""
import csv
import glob
import os
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zipfile

import olefile

NS = {
    "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
    "table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
    "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0",
    "draw": "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0",
    "gnm": "http://www.gnumeric.org/v10.dtd",
}


def q(tag):
    p, t = tag.split(":")
    return "{%s}%s" % (NS[p], t)


def para_text(p):
    """Text of a text:p, expanding text:s, tabs and line breaks."""
    out = [p.text or ""]
    for ch in p:
        if ch.tag == q("text:s"):
            out.append(" " * int(ch.get(q("text:c"), "1")))
        elif ch.tag == q("text:tab"):
            out.append("\t")
        elif ch.tag == q("text:line-break"):
            out.append("\n")
        elif ch.tag == q("office:annotation"):
            pass
        else:
            out.append(para_text(ch))
        out.append(ch.tail or "")
    return "".join(out)


def paras(elem):
    return "\n".join(para_text(p) for p in elem.findall(q("text:p")))


def shape_texts(elem, notes):
    for ch in elem:
        if ch.tag == q("office:annotation"):
            notes.append(paras(ch))
        elif ch.tag.startswith("{%s}" % NS["draw"]):
            t = "\n".join(para_text(p) for p in ch.iter(q("text:p")))
            if t:
                notes.append(t)


def from_lo(path, tmp):
    env = dict(os.environ)
    subprocess.run(["soffice", "-env:UserInstallation=file://" + tmp + "/prof", "--headless",
                    "--convert-to", "ods", "--outdir", tmp, path],
                   check=True, capture_output=True, env=env)
    # flat ODS output loses the comments, so read content.xml of the ODS
    ods = os.path.join(tmp, os.path.splitext(os.path.basename(path))[0] + ".ods")
    with zipfile.ZipFile(ods) as z:
        root = ET.fromstring(z.read("content.xml"))
    res = {"text": [], "absent": [], "sheets": [], "notes": [], "formula": []}
    for tbl in root.iter(q("table:table")):
        res["sheets"].append(tbl.get(q("table:name")))
        shapes = tbl.find(q("table:shapes"))
        if shapes is not None:
            shape_texts(shapes, res["notes"])
        for row in tbl.iter(q("table:table-row")):
            for cell in row:
                if cell.tag not in (q("table:table-cell"), q("table:covered-table-cell")):
                    continue
                shape_texts(cell, res["notes"])
                vt = cell.get(q("office:value-type"))
                if vt is None:
                    continue
                shown = paras(cell)
                if vt == "string":
                    res["formula" if cell.get(q("table:formula")) else "text"].append(shown)
                else:
                    res["absent"].append(shown)
                    raw = cell.get(q("office:value"))
                    if raw and number(raw) != shown:
                        res["absent"].append(number(raw))
    return res


def from_gnumeric(path, tmp):
    xml = os.path.join(tmp, "book.xml")
    env = dict(os.environ, LC_ALL="C.UTF-8")      # '.' as the decimal point in CSV
    subprocess.run(["ssconvert", "-T", "Gnumeric_XmlIO:sax:0", path, xml], check=True,
                   capture_output=True, env=env)
    subprocess.run(["ssconvert", "-S", "-T", "Gnumeric_stf:stf_csv", path,
                    os.path.join(tmp, "sheet-%n.csv")], check=True, capture_output=True, env=env)
    root = ET.parse(xml).getroot()
    res = {"text": [], "absent": [], "sheets": [], "notes": [], "formula": []}
    for n, sheet in enumerate(root.iter(q("gnm:Sheet"))):
        res["sheets"].append(sheet.find(q("gnm:Name")).text)
        with open(os.path.join(tmp, "sheet-%d.csv" % n), encoding="utf-8", newline="") as f:
            grid = list(csv.reader(f))
        for obj in sheet.iter(q("gnm:CellComment")):
            res["notes"].append(obj.get("Text"))
        for obj in sheet.iter():
            if obj.tag != q("gnm:CellComment") and obj.get("Text") and obj.tag.startswith("{%s}SO" % NS["gnm"]):
                res["notes"].append(obj.get("Text"))
        cells = sheet.find(q("gnm:Cells"))
        for c in (cells if cells is not None else []):
            r, col = int(c.get("Row")), int(c.get("Col"))
            shown = grid[r][col] if r < len(grid) and col < len(grid[r]) else ""
            vt = c.get("ValueType")
            if vt == "60":
                res["text"].append(c.text or "")
            elif vt is not None:
                res["absent"].append(number(shown))
            else:                       # formula: classify by its shown value
                try:
                    float(shown)
                    res["absent"].append(number(shown))
                except ValueError:
                    res["formula"].append(shown)
    return res


def number(text):
    """Shortest form of a number: 12345.677999999999884 -> 12345.678."""
    try:
        f = float(text)
    except ValueError:
        return text
    return str(int(f)) if f.is_integer() and abs(f) < 1e15 else repr(f)


def author(path):
    """Name in the WRITEACCESS record (BIFF8 unicode string, BIFF5 byte
    string, or xlwt's bare ASCII), trailing spaces removed."""
    ole = olefile.OleFileIO(path)
    name = "Workbook" if ole.exists("Workbook") else "Book"
    d = ole.openstream(name).read()
    biff8 = struct.unpack_from("<H", d, 4)[0] == 0x0600
    pos = 0
    while pos + 4 <= len(d):
        rid, ln = struct.unpack_from("<HH", d, pos)
        body = d[pos + 4:pos + 4 + ln]
        if rid == 0x005C:
            if biff8:
                cch, flags = struct.unpack_from("<HB", body, 0)
                if flags in (0, 1) and 3 + cch * (flags + 1) <= len(body):
                    raw = body[3:3 + cch * (flags + 1)]
                    return (raw.decode("utf-16-le") if flags else raw.decode("latin-1")).rstrip()
                return body.decode("latin-1").rstrip()       # xlwt: no header
            return body[1:1 + body[0]].decode("cp1252").rstrip()
        pos += 4 + ln
    return ""


def main():
    mode, path, out = sys.argv[1:4]
    with tempfile.TemporaryDirectory() as tmp:
        res = (from_lo if mode == "lo" else from_gnumeric)(os.path.abspath(path), tmp)
    lines = list(res["text"])
    lines += ["--- absent"] + res["absent"]
    lines += ["--- sheets"] + res["sheets"]
    lines += ["--- author", author(path)]
    lines += ["--- notes"] + res["notes"]
    if res["formula"]:
        lines += ["--- formula-text"] + res["formula"]
    with open(out, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()

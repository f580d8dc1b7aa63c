# Compares the reader (through `cellsift --format jsonl`) with python3-xlrd on every workbook
# given: sheet names, the writer's name and every cell. Run with Debian's /usr/bin/python3.
# Usage: xlrd_compare.py CELLSIFT WORKBOOK_OR_FOLDER...
import datetime
import json
import pathlib
import subprocess
from struct import error as struct_error
import sys

import xlrd

# Where xlrd is the one that is wrong, per file, with the reason.
#
# xlwt writes the writer's name bare, padded with spaces, without the count and flags of a
# BIFF8 string. xlrd reads its first two letters as the count and the third as the flags: it
# drops the first three letters, or stops with a decoding error when the flags say 16-bit.
XLWT_BARE_NAME = "xlwt writes the name without count and flags"
# Gnumeric writes the name of a BIFF7 workbook in code page 1200 as 8-bit text (it comes
# before the CODEPAGE record); xlrd decodes it as UTF-16 and stops with a decoding error.
GNUMERIC_8BIT_NAME = "the name is 8-bit text in a code page 1200 workbook"
XLRD_WRONG_AUTHOR = {
    "xlwt-rich.xls": ("Olga Writer", XLWT_BARE_NAME),
    "xlwt-longstrings.xls": ("xlwt long", XLWT_BARE_NAME),
    "xlwt-ascii.xls": ("John Smith", XLWT_BARE_NAME),
    "xlwt-cjk-emoji.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-control-empty.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-cyrillic.xls": ("Ivan Petrov", XLWT_BARE_NAME),
    "xlwt-empty-workbook.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-formulas-numbers.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-long-strings.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-rich-text.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-sst-edges.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "xlwt-western.xls": ("Corpus Generator", XLWT_BARE_NAME),
    "gnumeric-biff7-cp1200-cyrillic.xls": ("Ivan Petrov", GNUMERIC_8BIT_NAME),
    "gnumeric-biff7-cp1200-sheets-formulas.xls": ("Ivan Petrov", GNUMERIC_8BIT_NAME),
}
# Cells whose text xlrd cuts at the end of the first record, leaving out what the string's
# CONTINUE records hold: there xlrd's text must be the start of the reader's.
XLRD_CUTS_LONG_LABELS = {
    "gnumeric-biff7-long-cp1251.xls": "BIFF7 LABEL strings longer than one record",
}
# Files xlrd reads in the wrong code page unless told, with the reason.
XLRD_ENCODING = {
    "gen-biff5-nocodepage.xls":
        ("cp1252", "xlrd takes a workbook without CODEPAGE for ASCII; those are Windows-1252"),
}
# Files xlrd cannot read at all, with the reason.
XLRD_UNREADABLE = {
    "gnumeric-biff7-cp1200-cyrillic.xls":
        "xlrd decodes the 8-bit EXTERNSHEET names of a code page 1200 BIFF7 file as UTF-16 and stops",
    "gnumeric-biff7-cp1200-sheets-formulas.xls":
        "xlrd decodes the 8-bit EXTERNSHEET names of a code page 1200 BIFF7 file as UTF-16 and stops",
    "gnumeric-biff8-rich.xls": "xlrd stops on a record of a sheet with 'unpack requires a buffer'",
    "poi-long-strings.xls": "xlrd cannot follow a 16-bit shared string across its CONTINUE",
}


def tolerate_name_errors():
    """Lets xlrd go on past a writer's name it cannot decode, so the cells can be compared."""
    book_class = xlrd.book.Book
    handle_writeaccess, derive_encoding = book_class.handle_writeaccess, book_class.derive_encoding

    def handle_writeaccess_tolerant(self, data):
        try:
            handle_writeaccess(self, data)
        except UnicodeDecodeError:
            self.user_name = None

    def derive_encoding_tolerant(self):
        try:
            return derive_encoding(self)
        except UnicodeDecodeError:
            self.user_name, self.raw_user_name = None, False
            return derive_encoding(self)

    book_class.handle_writeaccess = handle_writeaccess_tolerant
    book_class.derive_encoding = derive_encoding_tolerant


def cell_expected(book, cell):
    """The reader's kind and value for an xlrd cell, or None for a cell it must not report."""
    if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
        return None
    if cell.ctype == xlrd.XL_CELL_TEXT:
        return ("text", cell.value)
    if cell.ctype == xlrd.XL_CELL_NUMBER:
        return ("number", float(cell.value))
    if cell.ctype == xlrd.XL_CELL_BOOLEAN:
        return ("bool", bool(cell.value))
    if cell.ctype == xlrd.XL_CELL_ERROR:
        return ("error", xlrd.error_text_from_code.get(cell.value, "#ERR"))
    if cell.ctype == xlrd.XL_CELL_DATE:
        try:
            return ("date", xlrd.xldate_as_tuple(cell.value, book.datemode))
        except xlrd.xldate.XLDateError:
            # Days before 1900-03-01 (xlrd: ambiguous) and out-of-range serials: the reader
            # writes them by the spreadsheet programs' own rule, checked by the unit tests.
            return ("date?", cell.value)
    raise AssertionError("unknown xlrd cell type %r" % cell.ctype)


def iso_as_tuple(text):
    if "T" in text:
        d = datetime.datetime.fromisoformat(text)
        return (d.year, d.month, d.day, d.hour, d.minute, d.second)
    if ":" in text:
        t = datetime.time.fromisoformat(text)
        return (0, 0, 0, t.hour, t.minute, t.second)
    if text == "1900-02-29":
        return None
    d = datetime.date.fromisoformat(text)
    return (d.year, d.month, d.day, 0, 0, 0)


def ours_value(obj):
    kind, value = obj["kind"], obj["value"]
    if kind == "number":
        return ("number", float(value))
    if kind == "date":
        return ("date", iso_as_tuple(value))
    return (kind, value)


def compare(tool, path, problems):
    name = path.name
    run = subprocess.run([tool, "--format", "jsonl", str(path)], capture_output=True)
    lines = [json.loads(line) for line in run.stdout.decode().splitlines()]
    try:
        book = xlrd.open_workbook(str(path), encoding_override=XLRD_ENCODING.get(name, (None,))[0])
    except (xlrd.XLRDError, UnicodeDecodeError, AssertionError, struct_error) as error:
        if "encrypted" in str(error).lower():
            if run.returncode != 1 or b"encrypted" not in run.stderr or lines:
                problems.append("%s: xlrd says encrypted; the reader gave %d, %r" %
                                (name, run.returncode, run.stderr[:200]))
            return
        if name in XLRD_UNREADABLE:
            if run.returncode != 0:
                problems.append("%s: the reader failed too: %r" % (name, run.stderr[:300]))
            return
        problems.append("%s: xlrd cannot read it (%s); add it to XLRD_UNREADABLE with the reason"
                        % (name, error))
        return
    if run.returncode != 0:
        problems.append("%s: the reader failed: %r" % (name, run.stderr[:300]))
        return
    workbook = [o for o in lines if o["type"] == "workbook"][0]
    author = XLRD_WRONG_AUTHOR[name][0] if name in XLRD_WRONG_AUTHOR else book.user_name
    if (workbook["saved_by"] or "") != author:
        problems.append("%s: saved by %r, xlrd %r" % (name, workbook["saved_by"], author))
    # xlrd lists worksheets only; charts and macro sheets are left out of its list.
    sheets = [o for o in lines if o["type"] == "sheet" and o["kind"] == "worksheet"]
    if [s["name"] for s in sheets] != book.sheet_names():
        problems.append("%s: sheets %r, xlrd %r" % (name, [s["name"] for s in sheets],
                                                     book.sheet_names()))
        return
    cells = {}
    for o in lines:
        if o["type"] == "cell":
            cells[(o["sheet"], o["row"], o["col"])] = o
    for sheet_ours, sheet in zip(sheets, book.sheets()):
        index = sheet_ours["sheet"]
        for row in range(sheet.nrows):
            for col in range(sheet.ncols):
                expected = cell_expected(book, sheet.cell(row, col))
                got = cells.pop((index, row, col), None)
                where = "%s: %s!R%dC%d" % (name, sheet.name, row, col)
                if expected is None:
                    if got is not None:
                        problems.append("%s: the reader has %r, xlrd nothing" % (where, got))
                    continue
                if got is None:
                    problems.append("%s: missing, xlrd %r" % (where, expected))
                    continue
                if expected[0] == "date?":
                    if got["kind"] not in ("date", "number"):
                        problems.append("%s: %r, xlrd a date it cannot convert" % (where, got))
                    continue
                if (name in XLRD_CUTS_LONG_LABELS and expected[0] == "text" and
                        got["kind"] == "text" and got["value"].startswith(expected[1])):
                    continue
                if ours_value(got) != expected:
                    problems.append("%s: %r, xlrd %r" % (where, ours_value(got), expected))
    worksheet_indexes = {s["sheet"] for s in sheets}
    for key in cells:
        if key[0] in worksheet_indexes:
            problems.append("%s: cell %r beyond what xlrd has" % (name, cells[key]))


def main():
    tolerate_name_errors()
    tool = sys.argv[1]
    paths = []
    for arg in sys.argv[2:]:
        p = pathlib.Path(arg)
        paths.extend(sorted(p.glob("*.xls")) if p.is_dir() else [p])
    problems = []
    for path in paths:
        compare(tool, path, problems)
    for problem in problems:
        print(problem if len(problem) < 400 else problem[:400] + "...")
    print("%d workbooks compared with xlrd %s, %d differences" %
          (len(paths), xlrd.__VERSION__, len(problems)))
    return 1 if problems or not paths else 0


if __name__ == "__main__":
    sys.exit(main())

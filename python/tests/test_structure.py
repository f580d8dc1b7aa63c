"""Formulas, defined names, linked documents, merged cells and hidden rows and columns, as
read() gives them and as text(formulas=True) and the Dask cell table carry them."""

import os
import struct
import subprocess

import cellsift
import cellsift.dask
from conftest import SHARED

FORMULAS = os.path.join(SHARED, "conformance", "poi-sheets-formulas.xls")
BIFF7 = os.path.join(SHARED, "conformance", "gnumeric-biff7-text-cp1251.xls")


def _rec(kind, data):
    return struct.pack("<HH", kind, len(data)) + data


def _layout_book(path):
    """A bare BIFF8 stream: one sheet with a number in A1, rows 3 to 5 and 10 hidden, columns
    B:C hidden, and A1:B2 and D4:F9 merged."""
    bof = lambda kind: _rec(0x809, struct.pack("<HHHHII", 0x600, kind, 0, 1997, 0, 0x600))
    units = "S".encode("utf-16-le")
    boundsheet = lambda pos: _rec(0x85, struct.pack("<IBBBB", pos, 0, 0, 1, 1) + units)
    head_size = len(bof(5)) + len(boundsheet(0)) + 4
    rows = b"".join(_rec(0x208, struct.pack("<HHHHHHHH", r, 0, 1, 255, 0, 0, 0x20, 15)) for r in (3, 4, 5, 10))
    sheet = (bof(0x10) + rows + _rec(0x7D, struct.pack("<HHHHHH", 1, 2, 0, 15, 1, 0))
             + _rec(0x203, struct.pack("<HHHd", 0, 0, 15, 7.0))
             + _rec(0xE5, struct.pack("<HHHHHHHHH", 2, 0, 1, 0, 1, 3, 8, 3, 5)) + _rec(0x0A, b""))
    with open(path, "wb") as f:
        f.write(bof(5) + boundsheet(head_size) + _rec(0x0A, b"") + sheet)


def test_formulas_names_and_links_as_read():
    with cellsift.read(FORMULAS) as book:
        sheet = book.sheets[0]
        assert sheet.formula(6, 1) == "=SUM(B2:B6)"
        assert sheet.formula(0, 0) is None
        assert sheet.formulas()[(9, 1)] == '=IF(B7>3,"FORMULA-TRUE","FORMULA-FALSE")'
        values = {(r, c): v for r, c, v in sheet.cells()}
        shown = {(r, c): v for r, c, v in sheet.cells(formulas=True)}
        assert values[(6, 1)] == 37.5 and shown[(6, 1)] == "=SUM(B2:B6)"
        # Constants keep their values; only formula cells change.
        assert {k: v for k, v in shown.items() if k not in sheet.formulas()} == \
            {k: v for k, v in values.items() if k not in sheet.formulas()}
        assert book.names == [cellsift.Name("DEFINED_NAME_NOT_TEXT", None, False, False,
                                            "=\u042f\u043d\u0432\u0430\u0440\u044c!$B$2:$B$6")]
        assert book.external_links == []
    with cellsift.read(BIFF7) as book:
        assert book.external_links == [cellsift.ExternalLink(1, "addin", "")]
        assert [(n.name, n.sheet, n.built_in) for n in book.names][:2] == \
            [("Sheet_Title", 0, True), ("Print_Area", 0, True)]


def test_text_with_formulas_equals_the_tool(tool):
    for form in ("text", "csv", "html"):
        expected = subprocess.run([tool, "--formulas", "--format", form, FORMULAS], check=True,
                                  stdout=subprocess.PIPE).stdout.decode()
        assert cellsift.text(FORMULAS, format=form, formulas=True) == expected
    assert "=SUM(B2:B6)" not in cellsift.text(FORMULAS)


def test_merged_and_hidden(tmp_path):
    path = str(tmp_path / "layout.xls")
    _layout_book(path)
    with cellsift.read(path) as book:
        sheet = book.sheets[0]
        assert sheet.merged == [cellsift.CellRange(0, 0, 1, 1), cellsift.CellRange(3, 3, 8, 5)]
        assert sheet.hidden_rows == [range(3, 6), range(10, 11)]
        assert sheet.hidden_columns == [range(1, 3)]
        assert list(sheet.cells()) == [(0, 0, 7)]


def test_dask_cells_carry_formulas():
    frame = cellsift.dask.cells([FORMULAS, "/no/such/file.xls"]).compute()
    cell = frame[(frame.row == 6) & (frame.col == 1) & (frame.sheet == frame.sheet.iloc[0])]
    assert list(cell.formula) == ["=SUM(B2:B6)"] and list(cell.number) == [37.5]
    assert frame[frame.kind == "text"].formula.isna().sum() > 0
    assert frame[frame.kind == "error"].formula.isna().all()
    bag = cellsift.dask.texts([FORMULAS], formulas=True).compute()
    assert "\t=SUM(B2:B6)" in bag[0]["text"]

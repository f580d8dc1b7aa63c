# Sheets by name and number, rows and cells by position, against the tool's JSON lines; the
# with-block that frees the stream; Sheet.to_pandas against read_frame.
import json
import os
import subprocess

import pytest

import cellsift
from conftest import ROOT, workbooks
from test_module import expected_value, readable

BOOKS = [p for p in workbooks() if readable(p)]
SAMPLE = os.path.join(ROOT, "examples", "sample.xls")


def tool_records(tool, path):
    out = subprocess.run([tool, "--format", "jsonl", path], stdout=subprocess.PIPE, check=True)
    return [json.loads(line) for line in out.stdout.decode("utf-8").splitlines()]


@pytest.mark.parametrize("path", BOOKS, ids=os.path.basename)
def test_grid_equals_the_tools_cells(tool, path):
    records = tool_records(tool, path)
    book = cellsift.read(path)
    sheets = [r for r in records if r["type"] == "sheet"]
    assert len(book) == len(sheets) and list(book) == book.sheets
    assert book.sheet_names == [r["name"] for r in sheets]
    for i, record in enumerate(sheets):
        sheet = book[i]
        assert book[record["name"]].name == record["name"] and record["name"] in book
        cells = {}
        for r in records:
            if r["type"] == "cell" and r["sheet"] == i:
                cells[(r["row"], r["col"])] = expected_value(r)
        nrows = max((row for row, _ in cells), default=-1) + 1
        ncols = max((col for _, col in cells), default=-1) + 1
        assert (sheet.nrows, sheet.ncols) == (nrows, ncols), sheet.name
        grid = [[cells.get((row, col)) for col in range(ncols)] for row in range(nrows)]
        assert list(sheet.rows()) == grid
        for (row, col), value in cells.items():
            assert sheet.cell(row, col) == value and sheet.row(row)[col] == value


def test_lookups_outside_the_book_and_the_sheet_say_why():
    book = cellsift.read(SAMPLE)
    sheet = book[0]
    assert book[-1] is book.sheets[-1] and sheet.cell(-1, -1) == sheet.cell(3, 2)
    assert sheet.row(-4) == sheet.row(0)
    cases = [
        (lambda: book["Nope"], KeyError, "Товары"),
        (lambda: book[2], IndexError, ""),
        (lambda: book[1.0], TypeError, "float"),
        (lambda: sheet.cell(4, 0), IndexError, "row 4"),
        (lambda: sheet.cell(0, 3), IndexError, "column 3"),
        (lambda: sheet.row(-5), IndexError, "row -5"),
        (lambda: sheet.row("1"), TypeError, "str"),
        (lambda: sheet.cell(True, 0), TypeError, "bool"),
    ]
    for call, error, words in cases:
        with pytest.raises(error, match=words):
            call()


def test_a_with_block_frees_the_stream_and_keeps_the_values():
    with cellsift.read(SAMPLE) as book:
        frame = book["Товары"].to_pandas()
        assert not book.closed and "closed" not in repr(book)
    assert book.closed and repr(book) == (
        "<cellsift.Workbook BIFF8, 2 sheets: 'Товары', 'Notes', closed>")
    assert book[0].cell(1, 1) == 149.9 and list(frame.columns) == ["Наименование", "Цена",
                                                                 "Поставка"]
    with pytest.raises(ValueError, match="closed"):
        book[0].to_pandas()


@pytest.mark.parametrize("path", BOOKS[::8], ids=os.path.basename)
def test_to_pandas_equals_read_frame(path):
    pandas = pytest.importorskip("pandas")
    book = cellsift.read(path)
    frames = cellsift.read_frame(path, sheet=None, header=None)
    for sheet in book:
        got = sheet.to_pandas(header=None)
        if sheet.kind == "worksheet":
            pandas.testing.assert_frame_equal(got, frames[sheet.name])
        assert got.shape == ((sheet.nrows, sheet.ncols) if sheet.nrows else (0, 0))


def test_a_sheet_name_in_another_letter_case_finds_the_sheet_the_tool_finds():
    book = cellsift.read(SAMPLE)
    # Cyrillic folds as Latin does; an exact name still wins over a folded one.
    assert book["товары"] is book["ТОВАРЫ"] is book[0] and "notes" in book
    assert book["NOTES"] is book[1] and "Nope" not in book and 0 not in book
    assert cellsift.text(SAMPLE, sheet="товары") == cellsift.text(SAMPLE, sheet="Товары")

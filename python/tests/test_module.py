# The module against the command-line tool: the same text, the same cells as its JSON lines,
# from paths and from every kind of buffer, on many threads, and errors as exceptions.
import concurrent.futures
import datetime
import json
import os
import pathlib
import subprocess

import pytest

import cellsift
from cellsift import _core
from conftest import ROOT, SHARED, workbooks

WORKBOOKS = workbooks()


def tool_output(tool, *args):
    done = subprocess.run([tool, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return done.returncode, done.stdout.decode("utf-8")


def readable(path):
    return not os.path.basename(path).startswith("poi-encrypted")


@pytest.mark.parametrize("path", [p for p in WORKBOOKS if readable(p)], ids=os.path.basename)
def test_text_equals_the_tool_from_every_kind_of_source(tool, path):
    status, expected = tool_output(tool, path)
    assert status == 0
    data = pathlib.Path(path).read_bytes()
    for source in (path, pathlib.Path(path), data, bytearray(data), memoryview(data)):
        assert cellsift.text(source) == expected, type(source).__name__
    # Converted piece by piece, the str widened when a wider character comes, and grown when
    # the room taken at first is not enough.
    for piece in (1, 4096):
        assert _core.text(path, True, piece_bytes=piece) == expected, piece
        assert _core.text(path, True, piece_bytes=piece, expected_chars=0) == expected, piece
    assert cellsift.text(path, values="shown") == expected
    status, raw = tool_output(tool, "--values", "raw", path)
    assert status == 0 and cellsift.text(data, values="raw") == raw


def test_values_is_shown_or_raw():
    sample = os.path.join(ROOT, "examples", "sample.xls")
    with pytest.raises(ValueError):
        cellsift.text(sample, values="exact")
    shown, raw = cellsift.text(sample), cellsift.text(sample, values="raw")
    assert "\t3/1/2024" in shown and "\t2024-03-01" in raw


def expected_value(record):
    kind, value = record["kind"], record["value"]
    if kind == "date":
        if "T" in value:
            return datetime.datetime.fromisoformat(value)
        if ":" in value:
            return datetime.time.fromisoformat(value)
        return datetime.date.fromisoformat(value)
    if kind == "error":
        return cellsift.CellError(value)
    return value


@pytest.mark.parametrize("path", [p for p in WORKBOOKS if readable(p)], ids=os.path.basename)
def test_read_equals_the_tools_json_lines(tool, path):
    status, out = tool_output(tool, "--format", "jsonl", path)
    assert status == 0
    records = [json.loads(line) for line in out.splitlines()]
    book = cellsift.read(path)

    head = records[0]
    assert (book.saved_by, book.biff, book.codepage, book.date1904) == (
        head["saved_by"], head["biff"], head["codepage"], head["date1904"])
    props = next((dict(r) for r in records if r["type"] == "properties"), {"type": None, "custom": {}})
    del props["type"]
    if not props["custom"]:
        del props["custom"]
    assert book.properties == props
    sheets = [r for r in records if r["type"] == "sheet"]
    assert [(s.name, s.kind, s.hidden) for s in book.sheets] == [
        (r["name"], r["kind"], r["hidden"]) for r in sheets]
    for sheet in book.sheets:
        cells = [(r["row"], r["col"], expected_value(r)) for r in records
                 if r["type"] == "cell" and r["sheet"] == sheet.index]
        got = list(sheet.cells())
        assert got == cells, sheet.name
        assert list(sheet.cells(shown=True)) == [
            (r["row"], r["col"], r["shown"]) for r in records
            if r["type"] == "cell" and r["sheet"] == sheet.index], sheet.name
        for (_, _, value), (_, _, want) in zip(got, cells):
            assert type(value) is type(want) or isinstance(want, float), (value, want)
        assert [tuple(c) for c in sheet.comments] == [
            (r["row"], r["col"], r["author"], r["text"]) for r in records
            if r["type"] == "comment" and r["sheet"] == sheet.index]
        assert sheet.textboxes == [r["text"] for r in records
                                   if r["type"] == "textbox" and r["sheet"] == sheet.index]
        assert sheet.page_texts == [(r["type"], r.get("pages", ""), r["text"]) for r in records
                                    if r["type"] in ("header", "footer") and r["sheet"] == sheet.index]
        assert [tuple(h) for h in sheet.hyperlinks] == [
            (r["row"], r["col"], r["last_row"], r["last_col"], r["target"], r["description"], r["tooltip"])
            for r in records if r["type"] == "hyperlink" and r["sheet"] == sheet.index]
        assert [tuple(c) for c in sheet.charts] == [
            (r["title"], r["series"], r["axes"], r["labels"]) for r in records
            if r["type"] == "chart" and r["sheet"] == sheet.index]
    assert book.warnings == [r["message"] for r in records if r["type"] == "warning"]


def test_threads_give_what_one_thread_gives():
    paths = [p for p in WORKBOOKS if readable(p)] * 4
    one = [cellsift.text(p) for p in paths]
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        assert list(pool.map(cellsift.text, paths)) == one
        # Each call's converter thread waits for the GIL the others take.
        assert list(pool.map(lambda p: _core.text(p, True, 64, 0), paths)) == one


def test_errors_are_exceptions_that_say_what_the_bytes_are(tmp_path):
    encrypted = os.path.join(SHARED, "conformance", "poi-encrypted.xls")
    sample = pathlib.Path(ROOT, "examples", "sample.xls").read_bytes()
    missing = tmp_path / "missing.xls"
    cases = [
        (encrypted, cellsift.EncryptedError, "encrypt"),
        (b"PK\x03\x04" + b"\0" * 600, cellsift.NotWorkbookError, "xlsx"),
        (b"<html><body>table</body></html>" * 20, cellsift.NotWorkbookError, "HTML"),
        (b"", cellsift.NotWorkbookError, ""),
        (sample[:512], cellsift.Error, ""),
        (missing, cellsift.FileError, "missing.xls: No such file"),
    ]
    for source, error, words in cases:
        for call in (cellsift.text, cellsift.read):
            with pytest.raises(error) as caught:
                call(source)
            assert words.lower() in str(caught.value).lower()
    assert issubclass(cellsift.FileError, OSError)
    with pytest.raises(BufferError):
        cellsift.text(memoryview(sample)[::2])


def test_text_outside_the_cells():
    book = cellsift.read(os.path.join(ROOT, "tests", "workbook", "extras", "gen-extras.xls"))
    assert book.saved_by == "Saver Person"
    assert book.properties["author"] == "SIRRI EKER"
    assert book.properties["created"] == "2006-02-01T09:30:15Z"
    assert book.properties["custom"]["Approved"] == "TRUE"
    links, data, chart = book.sheets
    assert links.header == "Quarterly & Annual Printed [date] [time]"
    assert links.footer == "Page [page] of [pages] [file] / [sheet]"
    assert ("header", "first", "First page header") in links.page_texts
    assert links.hyperlinks[0] == cellsift.Hyperlink(0, 0, 0, 0, "http://poi.apache.org/", "Home page",
                                                     "Opens the project's home page")
    assert [h.target for h in links.hyperlinks[1:]] == [
        "\\\\fileserver\\share\\budget.xls", "..\\..\\reports\\q1 résumé.xls#Summary!B2",
        "WebLinks!A1", "mailto:dev@poi.apache.org"]
    assert data.charts == [cellsift.Chart("Pie Chart Title Thingy", ["Fruit share"], [], ["Biggest"])]
    assert chart.kind == "chart" and list(chart.cells()) == []
    assert chart.charts == [cellsift.Chart("Favorite Fruits", ["Apples", "Pears"], ["Month", "Kilograms"],
                                           ["Peak of the season"])]


def test_written_forms_equal_the_tools(tool):
    extras = os.path.join(ROOT, "tests", "workbook", "extras", "gen-extras.xls")
    sample = os.path.join(ROOT, "examples", "sample.xls")
    # (keywords of text(), the tool's options for the same output)
    cases = [
        (dict(format="csv"), ["--format", "csv"]),
        (dict(format="csv", values="raw"), ["--format", "csv", "--values", "raw"]),
        (dict(format="jsonl"), ["--format", "jsonl"]),
        (dict(format="jsonl", notes=False), ["--format", "jsonl", "--no-notes"]),
        (dict(sheet=1), ["--sheet", "1"]),
        (dict(sheet=0, notes=False, format="csv"), ["--sheet", "0", "--no-notes", "--format", "csv"]),
        (dict(notes=False), ["--no-notes"]),
        (dict(sheet=1, format="jsonl", values="raw"), ["--sheet", "1", "--format", "jsonl", "--values", "raw"]),
    ]
    paths = [extras, sample] + [p for p in WORKBOOKS if "conformance" in p and readable(p)][:6]
    for path in paths:
        names = cellsift.read(path).sheet_names
        by_name = [(dict(sheet=name, format=f), ["--sheet-name", name, "--format", f])
                   for name in names[-1:] for f in ("text", "csv", "jsonl")]
        for keywords, options in cases + by_name:
            status, expected = tool_output(tool, *options, path)
            if status != 0:  # a sheet number the workbook does not have
                with pytest.raises(cellsift.NoSuchSheetError):
                    cellsift.text(path, **keywords)
                continue
            assert cellsift.text(path, **keywords) == expected, (path, keywords)
        # From bytes the JSON lines name no file; everything else is the same.
        status, expected = tool_output(tool, "--format", "jsonl", path)
        got = cellsift.text(pathlib.Path(path).read_bytes(), format="jsonl")
        assert got.replace('"file":""', '"file":%s' % json.dumps(path), 1) == expected


def test_written_forms_refuse_what_the_tool_refuses():
    sample = os.path.join(ROOT, "examples", "sample.xls")
    for sheet in ("No such sheet", "0", 7):
        with pytest.raises(cellsift.NoSuchSheetError) as caught:
            cellsift.text(sample, sheet=sheet)
        assert isinstance(caught.value, LookupError) and str(sheet) in str(caught.value)
    for bad in ("HTML", "CSV", "xml", ""):
        with pytest.raises(ValueError):
            cellsift.text(sample, format=bad)
    for bad in (-1, True, 1.0):
        with pytest.raises(TypeError):
            cellsift.text(sample, sheet=bad)
    # A name finds the sheet its number finds.
    assert cellsift.text(sample, sheet=cellsift.read(sample).sheet_names[0], format="csv") == \
        cellsift.text(sample, sheet=0, format="csv")

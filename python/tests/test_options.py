# The tool's options that change what is written, through the module: HTML, --no-properties
# and --values shown for frames, each equal to the tool's output on the same workbooks; and
# the file objects, buffers and paths pandas and xlrd users pass.
import csv
import io
import os
import pathlib
import types
import zipfile

import pytest

import cellsift
from conftest import ROOT, workbooks
from test_module import readable, tool_output

EXTRAS = os.path.join(ROOT, "tests", "workbook", "extras", "gen-extras.xls")
SAMPLE = os.path.join(ROOT, "examples", "sample.xls")
PATHS = [EXTRAS, SAMPLE, os.path.join(ROOT, "tests", "workbook", "data", "gen-dates-1900.xls")] + [
    p for p in workbooks() if "conformance" in p and readable(p)][:6]


def test_html_and_no_properties_equal_the_tool(tool):
    # (keywords of text(), the tool's options for the same output)
    cases = [
        (dict(format="html"), ["--format", "html"]),
        (dict(format="html", values="raw"), ["--format", "html", "--values", "raw"]),
        (dict(format="html", sheet=0, notes=False), ["--format", "html", "--sheet", "0", "--no-notes"]),
        (dict(format="html", properties=False), ["--format", "html", "--no-properties"]),
        (dict(properties=False), ["--no-properties"]),
        (dict(format="jsonl", properties=False), ["--format", "jsonl", "--no-properties"]),
    ]
    left_out = 0
    for path in PATHS:
        for keywords, options in cases:
            status, expected = tool_output(tool, *options, path)
            assert status == 0, (path, options)
            assert cellsift.text(path, **keywords) == expected, (path, keywords)
        left_out += cellsift.text(path, properties=False) != cellsift.text(path)
    # The workbooks with properties lose them: the keyword is not ignored on both sides.
    assert left_out >= 2


def csv_grid(tool, path, name):
    status, text = tool_output(tool, "--format", "csv", "--sheet-name", name, path)
    assert status == 0
    return list(csv.reader(io.StringIO(text)))


def test_shown_frames_hold_the_tools_shown_values(tool):
    pandas = pytest.importorskip("pandas")
    for path in PATHS:
        for name, frame in cellsift.read_frame(path, sheet=None, header=None, values="shown").items():
            assert all(isinstance(v, str) for v in frame.stack().tolist()), (path, name)
            got = frame.fillna("").values.tolist()
            want = [row + [""] * (frame.shape[1] - len(row)) for row in csv_grid(tool, path, name)]
            assert got == want[:len(got)] and not any(map(any, want[len(got):])), (path, name)
    # The column names are the header row's shown texts; an empty cell is NaN, not "".
    name = cellsift.read(SAMPLE).sheet_names[0]
    grid = csv_grid(tool, SAMPLE, name)
    shown = cellsift.read_frame(SAMPLE, sheet=name, values="shown")
    assert list(shown.columns) == grid[0] and shown.iloc[0].tolist() == grid[1]
    assert shown.iloc[0, 2] == "3/1/2024" and pandas.isna(shown.iloc[2, 2])
    with cellsift.read(SAMPLE) as book:
        pandas.testing.assert_frame_equal(book[name].to_pandas(values="shown"), shown)
    with pytest.raises(ValueError):
        cellsift.read_frame(SAMPLE, values="exact")


def test_file_objects_buffers_and_paths_read_as_the_path(tmp_path):
    pandas = pytest.importorskip("pandas")
    data = pathlib.Path(SAMPLE).read_bytes()
    with zipfile.ZipFile(tmp_path / "books.zip", "w") as archive:
        archive.writestr("inside/sample.xls", data)
    text, frame = cellsift.text(SAMPLE), cellsift.read_frame(SAMPLE, sheet=1)
    cells = [list(s.cells()) for s in cellsift.read(SAMPLE)]
    makers = [lambda: open(SAMPLE, "rb"), lambda: io.BytesIO(data), lambda: bytearray(data),
              lambda: types.SimpleNamespace(read=io.BytesIO(data).read),  # as an HTTP response
              lambda: zipfile.ZipFile(tmp_path / "books.zip").open("inside/sample.xls"),
              lambda: memoryview(data), lambda: pathlib.Path(SAMPLE)]
    for make in makers:
        assert cellsift.text(make()) == text
        assert [list(s.cells()) for s in cellsift.read(make())] == cells
        pandas.testing.assert_frame_equal(cellsift.read_frame(make(), sheet=1), frame)
    # A file is read from where it stands, as pandas reads it; one opened for text is refused.
    moved = io.BytesIO(b"preamble" + data)
    moved.seek(len(b"preamble"))
    assert cellsift.text(moved) == text
    with open(SAMPLE, encoding="latin-1") as as_text:
        with pytest.raises(TypeError, match="rb"):
            cellsift.text(as_text)

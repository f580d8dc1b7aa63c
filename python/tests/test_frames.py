# read_frame against pandas.read_excel(engine="xlrd") on every workbook xlrd reads, and on
# workbooks made here for the corners of pandas' type inference; the differences are listed.
import importlib.util
import os
import struct
import sys
import warnings

import pytest

import cellsift
from conftest import ROOT, workbooks

pandas = pytest.importorskip("pandas")
xlrd = pytest.importorskip("xlrd")
# Debian's xlrd 1.2 reads .xls as 2.0.1 does; pandas 1.5 only checks the number.
xlrd.__version__ = "2.0.1"


def load(name, *path):
    found = importlib.util.spec_from_file_location(name, os.path.join(ROOT, *path))
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


make = load("make_workbooks", "tests", "workbook", "data", "make-workbooks.py")
# xlrd stops on a writer's name some writers store bare; pandas would then read nothing. Past
# that name xlrd reads the cells, which is what is compared.
compare = load("xlrd_compare", "tests", "workbook", "xlrd_compare.py")
compare.tolerate_name_errors()
# Where pandas and cellsift differ because xlrd is wrong, per file, with the reason: xlrd's
# text of a long label is the start of the reader's. And the files xlrd reads only when told
# their code page, which pandas cannot tell it.
XLRD_WRONG = compare.XLRD_CUTS_LONG_LABELS
XLRD_ENCODING = {name: encoding for name, (encoding, _) in compare.XLRD_ENCODING.items()}


def pandas_frames(path, **options):
    """pandas' frames of the file, or None when xlrd cannot read it."""
    try:
        book = xlrd.open_workbook(path, encoding_override=XLRD_ENCODING.get(os.path.basename(path)))
    except Exception:  # xlrd's failures are of many types; the reader's own tests cover them
        return None
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return pandas.read_excel(book, engine="xlrd", **options)


def assert_same(got, want):
    if isinstance(want, dict):
        assert list(got) == list(want)
        for name in want:
            pandas.testing.assert_frame_equal(got[name], want[name], obj=name)
    else:
        pandas.testing.assert_frame_equal(got, want)


READABLE = [p for p in workbooks() if pandas_frames(p, nrows=0, sheet_name=None) is not None]


def test_the_workbooks_xlrd_cannot_read_are_the_known_ones():
    # Each with its reason in xlrd_compare.py; encrypted ones xlrd refuses, as cellsift does.
    unreadable = {os.path.basename(p) for p in workbooks() if p not in READABLE}
    assert unreadable == set(compare.XLRD_UNREADABLE) | {"poi-encrypted.xls"}
    assert len(READABLE) >= 50


@pytest.mark.parametrize("path", READABLE, ids=os.path.basename)
def test_every_sheet_equals_pandas(path):
    want = pandas_frames(path, sheet_name=None)
    got = cellsift.read_frame(path, sheet=None)
    if os.path.basename(path) in XLRD_WRONG:
        # xlrd's text must be the start of cellsift's, everything else equal.
        for name, frame in want.items():
            mask = frame.ne(got[name])
            assert all(got[name][c][r].startswith(frame[c][r])
                       for r, c in zip(*mask.to_numpy().nonzero()) for c in [frame.columns[c]])
            frame[mask] = got[name][mask]
    assert_same(got, want)


# Other headers and sheets, on the workbooks with the most varied cells.
@pytest.mark.parametrize("options", [
    dict(sheet_name=0, header=None), dict(sheet_name=0, header=1), dict(sheet_name=0, header=3),
    dict(sheet_name=None, header=6), dict(sheet_name="Formulas", header=None),
], ids=str)
@pytest.mark.parametrize("name", ["examples/sample.xls", "tests/workbook/data/gen-dates-1900.xls",
                                  "tests/workbook/data/gen-dates-1904.xls",
                                  "tests/workbook/data/gen-formulas.xls",
                                  "tests/workbook/data/gen-edges.xls"])
def test_headers_and_sheets_equal_pandas(name, options):
    path = os.path.join(ROOT, name)
    try:
        want = pandas_frames(path, **options)
    except ValueError as exc:  # no such sheet, or a header below the table: the same error
        with pytest.raises(ValueError) as caught:
            cellsift.read_frame(path, sheet=options["sheet_name"], header=options["header"])
        assert str(caught.value) == str(exc)
        return
    assert_same(cellsift.read_frame(path, sheet=options["sheet_name"], header=options["header"]),
                want)


def inference_book(path):
    """Columns for each turn of pandas' inference, under headers that are empty, repeated,
    numbers and dates."""
    b = make.Book()
    s = b.sheet("Types")
    headers = ["\ufeffid", "n", "n", 7, "", "n.1", "", "dates", "times", "bools", "strs",
               "n", "huge", "errs", "mixed", "blank"]
    for col, h in enumerate(headers):
        if not isinstance(h, str):
            b.number(s, 0, col, h)
        elif h:
            b.text(s, 0, col, h)
    columns = [
        [1, 2, 3, 4],                       # int64
        [1, None, 3, 4],                    # float64 with NaN
        [1.5, 2, -0.0, 4],                  # float64
        [True, False, True, False],         # bool
        [True, None, False, True],          # object: bool and NaN
        ["1", "2.5", "NA", "-3"],           # numbers written as text, one NA
        ["TRUE", "false", "True", "FALSE"], # booleans written as text
        [("date", 45352.25), ("date", 45353), None, ("date", 1462.5)],
        [("date", 0.5), ("date", 0.25), ("date", 1.5), ("date", 59.75)],
        [True, 1, 0.5, None],
        ["a", "", "nan", "#N/A"],
        [1e20, 2, 3, 4],                    # a whole number past int64
        [2 ** 53 + 2.0, 1, 2, 3],
        [("error", 0x07), ("error", 0x2A), 1, None],
        ["x", 1, ("date", 45352), True],
        [None, None, None, None],
    ]
    for col, values in enumerate(columns):
        for row, value in enumerate(values, start=1):
            if value is None:
                continue
            if isinstance(value, tuple) and value[0] == "date":
                b.number(s, row, col, value[1], b.xf(22))
            elif isinstance(value, tuple):
                b.boolerr(s, row, col, value[1], True)
            elif isinstance(value, bool):
                b.boolerr(s, row, col, int(value), False)
            elif isinstance(value, str):
                b.text(s, row, col, value)
            else:
                b.number(s, row, col, value)
    sparse = b.sheet("Sparse")
    b.number(sparse, 1, 0, 1)
    b.number(sparse, 7, 2, 9)  # a row far below, empty rows between
    b.number(sparse, 7, 2, 10)  # the same cell again: the last one counts
    empty = b.sheet("Empty")
    assert empty == []
    only_header = b.sheet("Header only")
    b.text(only_header, 0, 0, "alone")
    b.write(path)


@pytest.mark.parametrize("header", [0, None, 1, 7, 8, 20])
def test_inference_corners_equal_pandas(tmp_path, header):
    path = str(tmp_path / "types.xls")
    inference_book(path)
    try:
        want = pandas_frames(path, sheet_name=None, header=header)
    except ValueError as exc:
        with pytest.raises(ValueError) as caught:
            cellsift.read_frame(path, sheet=None, header=header)
        assert str(caught.value) == str(exc)
        return
    got = cellsift.read_frame(path, sheet=None, header=header)
    assert_same(got, want)
    if header == 0:
        types = got["Types"]
        assert types.columns[0] == "id"
        assert [str(types.iloc[:, c].dtype) for c in (0, 1, 2, 3, 4, 5, 7, 8)] == [
            "int64", "float64", "float64", "bool", "float64", "float64", "datetime64[ns]", "object"]
        assert got["Sparse"].iloc[-1].tolist()[2:] == [10.0]


def test_the_sheet_is_a_name_or_a_worksheet_number(tmp_path):
    path = str(tmp_path / "types.xls")
    inference_book(path)
    assert cellsift.read_frame(path, sheet="Header only").columns.tolist() == ["alone"]
    assert cellsift.read_frame(path, sheet=3).columns.tolist() == ["alone"]
    assert cellsift.read_frame(open(path, "rb").read(), sheet=2).empty
    for sheet, error in [("Nope", ValueError), (4, ValueError), (-1, TypeError), (1.0, TypeError)]:
        with pytest.raises(error):
            cellsift.read_frame(path, sheet=sheet)
    for header in (-1, "0", [0, 1], True):
        with pytest.raises(TypeError):
            cellsift.read_frame(path, header=header)


def test_a_cell_far_out_is_refused_not_allocated(tmp_path):
    b = make.Book()
    s = b.sheet("Far")
    b.number(s, 0, 0, 1)
    b.number(s, 65535, 300, 2)
    path = str(tmp_path / "far.xls")
    b.write(path)
    with pytest.raises(cellsift.TooLargeError, match="65536 rows by 301 columns"):
        cellsift.read_frame(path)


def test_without_pandas_the_error_says_what_to_install(monkeypatch):
    monkeypatch.setitem(sys.modules, "pandas", None)
    with pytest.raises(ImportError, match="python3-pandas"):
        cellsift.read_frame(os.path.join(ROOT, "examples", "sample.xls"))


def test_failures_and_partial_reads_as_read_reports_them(tmp_path):
    sample = os.path.join(ROOT, "examples", "sample.xls")
    missing = tmp_path / "missing.xls"
    with pytest.raises(cellsift.MissingFileError) as caught:
        cellsift.read_frame(missing)
    assert caught.value.filename == str(missing)
    with pytest.raises(ValueError, match="null"):
        cellsift.read_frame(sample + "\0.xls")
    cut = tmp_path / "cut.xls"
    cut.write_bytes(open(sample, "rb").read()[:3000])
    with pytest.warns(cellsift.PartialReadWarning, match=r"cut\.xls: read in part: "):
        frames = cellsift.read_frame(cut, sheet=None)
    assert isinstance(frames, dict)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cellsift.read_frame(sample)
    with cellsift.read(sample) as book:
        with warnings.catch_warnings():
            warnings.simplefilter("error")
            book[1].to_pandas()


def biff2_book(cells):
    """A BIFF2 file of (row, col, value): a str is a label, a float a number, an int an error."""
    def rec(rtype, body):
        return struct.pack("<HH", rtype, len(body)) + body
    records = [rec(0x0009, struct.pack("<HH", 0x0200, 0x0010))]
    for row, col, value in cells:
        head = struct.pack("<HH3s", row, col, bytes(3))
        records.append(rec(0x0004, head + bytes([len(value)]) + value.encode()) if isinstance(value, str)
                       else rec(0x0003, head + struct.pack("<d", value)) if isinstance(value, float)
                       else rec(0x0005, head + bytes([value, 1])))
    return b"".join(records + [rec(0x000A, b"")])


def test_old_sheet_names_and_error_headers_are_pandas(tmp_path):
    # Errors in the header row name their columns nan, nan.1, ... as pandas does; the one
    # sheet of a BIFF2-4 file is named as xlrd names it, though read() keeps its own name.
    div0, na = 0x07, 0x2A
    path = tmp_path / "biff2.xls"
    path.write_bytes(biff2_book([
        (0, 0, "name"), (0, 1, div0), (0, 2, na), (0, 3, "x"), (0, 4, div0), (1, 0, "tea"),
        (1, 1, 1.5), (1, 2, 2.0), (1, 3, 3.0), (1, 4, 4.0), (2, 0, "milk"), (2, 1, 0.5),
        (2, 2, div0), (2, 3, 5.0), (2, 4, 6.0)]))
    want = pandas_frames(str(path), sheet_name=None)
    assert list(want) == ["Sheet 1"] and list(want["Sheet 1"].columns)[2:] == ["nan.1", "x", "nan.2"]
    assert_same(cellsift.read_frame(path, sheet=None), want)
    assert_same(cellsift.read_frame(path, sheet="Sheet 1"), want["Sheet 1"])
    assert cellsift.read(path).sheet_names == ["Sheet1"]


def test_a_workbook_without_worksheets_gives_no_frames(tmp_path):
    b = make.Book()
    b.sheet("Chart1", kind=2)
    path = str(tmp_path / "chart-only.xls")
    b.write(path)
    assert cellsift.read_frame(path, sheet=None) == {} == pandas_frames(path, sheet_name=None)
    for sheet in (0, "Chart1"):
        with pytest.raises(cellsift.NoSuchSheetError) as caught:
            cellsift.read_frame(path, sheet=sheet)
        assert isinstance(caught.value, ValueError)  # pandas' error, for code written for it

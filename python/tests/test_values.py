# Cell values as Python objects, cell by cell in workbooks written here: where an int ends and
# a float begins, dates of both date systems, booleans and every error code, each value also
# checked against the tool's JSON lines of the same bytes.
import datetime
import json
import struct
import subprocess

import pytest

import cellsift
from hostile import book, number, rec

GENERAL = 0  # XF 0 of the workbooks below shows General, XF 1 a date
DATE = 1
GENERAL_XF = rec(0x00E0, struct.pack("<HHHBBBBIIH", 0, 0, 0, 0, 0, 0, 0, 0, 0, 0))


def boolerr(col, value, error):
    return rec(0x0205, struct.pack("<HHHBB", 0, col, GENERAL, value, error))


def read_cells(tmp_path, cells, date1904=False):
    """The cells of a one-row sheet as read() gives them, after checking that its shown text
    and kind agree with the tool's JSON lines for the same file."""
    globals_ = (rec(0x0022, struct.pack("<H", 1)) if date1904 else b"") + GENERAL_XF
    data = book(cells, globals_)
    path = tmp_path / "values.xls"
    path.write_bytes(data)
    return list(cellsift.read(data).sheets[0].cells()), path


def check_against_tool(tool, path, got):
    out = subprocess.run([tool, "--format", "jsonl", str(path)], check=True,
                         stdout=subprocess.PIPE).stdout.decode()
    records = [json.loads(line) for line in out.splitlines()]
    cells = [r for r in records if r["type"] == "cell"]
    assert len(cells) == len(got)
    for record, (_, _, value) in zip(cells, got):
        if record["kind"] == "number" and abs(value) < 1e16:
            # Below 10^16 the written forms print a whole number in full, as the int read() gives.
            assert record["value"] == value and type(record["value"]) is type(value), (record, value)
        elif record["kind"] == "number":
            # Past it they print the shortest text that reads back as the same double.
            assert float(record["value"]) == value, (record, value)
        elif record["kind"] == "error":
            assert value == cellsift.CellError(record["value"])
        elif record["kind"] == "bool":
            assert record["value"] is value


def test_numbers_are_int_when_whole(tool, tmp_path):
    cases = [(3.0, 3), (-0.0, 0), (-42.0, -42), (0.5, 0.5), (9007199254740993.0, 9007199254740992),
             (9999999999999998.0, 9999999999999998), (1.2345678901234568e17, 123456789012345680),
             (1e21, 10 ** 21), (-1e22, -10 ** 22), (1e-7, 1e-7)]
    got, path = read_cells(tmp_path, b"".join(number(0, i, d, GENERAL) for i, (d, _) in enumerate(cases)))
    assert [v for _, _, v in got] == [want for _, want in cases]
    assert [type(v) for _, _, v in got] == [type(want) for _, want in cases]
    check_against_tool(tool, path, got)


def test_whole_numbers_past_10_16_are_exact_ints(tool, tmp_path):
    # Exact ints, not ones read back from a decimal text: 2^60's shortest text ends in 000.
    cases = [(2.0 ** 53, 2 ** 53), (2.0 ** 53 + 2, 2 ** 53 + 2), (1e16, 10 ** 16), (2.0 ** 60, 2 ** 60),
             (1e22, 10 ** 22), (2.0 ** 1023, 2 ** 1023), (-1e300, int(-1e300)),
             (1.7976931348623157e308, (2 ** 53 - 1) * 2 ** 971)]
    got, path = read_cells(tmp_path, b"".join(number(0, i, d, GENERAL) for i, (d, _) in enumerate(cases)))
    values = [v for _, _, v in got]
    assert values == [want for _, want in cases]
    assert all(type(v) is int for v in values)
    # The table holds the same numbers: int64 where they fit, float64 past it as pandas' own
    # reader has them, each the same double.
    with cellsift.read(path) as held:
        frame = held.sheets[0].to_pandas(header=None)
    assert list(frame.iloc[0]) == values
    assert [str(t) for t in frame.dtypes] == ["int64"] * 4 + ["float64"] * 4
    check_against_tool(tool, path, got)


def test_dates_in_both_systems():
    cases = [
        (False, 1.0, datetime.date(1900, 1, 1)),
        (False, 59.75, datetime.datetime(1900, 2, 28, 18)),
        (False, 60.0, "1900-02-29"),
        (False, 0.25, datetime.time(6)),
        (False, 45000.5, datetime.datetime(2023, 3, 15, 12)),
        (False, 45000.99999999, datetime.date(2023, 3, 16)),  # rounds to the next midnight
        (False, 2958465.0, datetime.date(9999, 12, 31)),
        (True, 0.0, datetime.time(0)),
        (True, 1.0, datetime.date(1904, 1, 2)),
        (True, 60.0, datetime.date(1904, 3, 1)),
        (True, 43538.5, datetime.datetime(2023, 3, 15, 12)),
    ]
    for date1904, serial, want in cases:
        globals_ = (rec(0x0022, struct.pack("<H", 1)) if date1904 else b"") + GENERAL_XF
        (cell,) = cellsift.read(book(number(0, 0, serial, DATE), globals_)).sheets[0].cells()
        assert cell[2] == want and type(cell[2]) is type(want), (date1904, serial, cell)
    # Past the year 9999 a date format shows a number.
    (cell,) = cellsift.read(book(number(0, 0, 2958466.0, DATE), GENERAL_XF)).sheets[0].cells()
    assert cell[2] == 2958466


def test_booleans_and_error_codes(tool, tmp_path):
    codes = [(0x00, "#NULL!"), (0x07, "#DIV/0!"), (0x0F, "#VALUE!"), (0x17, "#REF!"), (0x1D, "#NAME?"),
             (0x24, "#NUM!"), (0x2A, "#N/A"), (0x2B, "#GETTING_DATA"), (0x99, "#ERR")]
    cells = boolerr(0, 1, 0) + boolerr(1, 0, 0) + b"".join(boolerr(2 + i, code, 1) for i, (code, _) in enumerate(codes))
    got, path = read_cells(tmp_path, cells + number(0, 20, float("inf"), GENERAL))
    values = [v for _, _, v in got]
    assert values[:2] == [True, False] and all(type(v) is bool for v in values[:2])
    errors = values[2:]
    assert [(e.text, e.code) for e in errors] == [(text, code if text != "#ERR" else -1)
                                                  for code, text in codes] + [("#NUM!", 0x24)]
    # An error made from its text alone has the same code.
    assert [cellsift.CellError(e.text).code for e in errors] == [e.code for e in errors]
    assert [str(v) for _, _, v in cellsift.read(path).sheets[0].cells(shown=True)][:2] == ["TRUE", "FALSE"]
    check_against_tool(tool, path, got)


def test_shared_strings_repeated_past_the_budget_keep_the_tools_texts(tool, tmp_path):
    # One long shared string shown by 200 cells: the reader cuts the repeats its budget does
    # not cover, and a text kept once for all its cells must not hide those cuts.
    long = ("%05d-" % 1) * 1300
    sst = rec(0x00FC, struct.pack("<II", 200, 1) + struct.pack("<HB", len(long), 0) + long.encode("ascii"))
    cells = b"".join(rec(0x00FD, struct.pack("<HHHI", row, 0, GENERAL, 0)) for row in range(200))
    path = tmp_path / "repeats.xls"
    path.write_bytes(book(cells, sst + GENERAL_XF))
    out = subprocess.run([tool, "--format", "jsonl", str(path)], check=True,
                         stdout=subprocess.PIPE).stdout.decode()
    want = [json.loads(line)["value"] for line in out.splitlines() if '"type":"cell"' in line]
    with pytest.warns(cellsift.PartialReadWarning, match="repeated texts are cut"):
        got = [v for _, _, v in cellsift.read(path).sheets[0].cells()]
    assert got == want
    assert want[0] == long and len(want[-1]) < len(long)  # the case is the one meant
    with pytest.warns(cellsift.PartialReadWarning):
        frame = cellsift.read_frame(path, header=None)
    # pandas reads an empty text as NaN.
    assert ["" if v != v else v for v in frame[0]] == want

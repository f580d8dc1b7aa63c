# cellsift.dask.cells and frames on a real two-process Dask cluster: every cell equal to the
# tool's JSON lines, unreadable files as rows, and frames equal to pandas.concat of read_frame.
import json
import os
import shutil
import subprocess

import pytest

import cellsift
from conftest import ROOT, workbooks
from test_dask import client  # noqa: F401 (the two-worker cluster, a fixture)
from test_frames import make

pandas = pytest.importorskip("pandas")
tables = pytest.importorskip("cellsift.dask")


def tool_cells(tool, path):
    """The tool's cells and warnings of a file as cell-table rows, or None when it fails."""
    done = subprocess.run([tool, "--format", "jsonl", path], stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL)
    if done.returncode != 0:
        return None
    records = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
    names = {r["sheet"]: r["name"] for r in records if r["type"] == "sheet"}
    rows, notes = [], []
    for r in records:
        if r["type"] == "cell":
            rows.append((names[r["sheet"]], r["row"], r["col"], r["kind"], r["value"]))
        elif r["type"] == "warning":
            notes.append((None, -1, -1, "warning", r["message"]))
    return rows + notes


def tool_shown(tool, path):
    """What the tool's JSON lines say each cell shows, and its formula or None, in order."""
    done = subprocess.run([tool, "--format", "jsonl", path], stdout=subprocess.PIPE, check=True)
    records = [json.loads(line) for line in done.stdout.decode("utf-8").splitlines()]
    cells = [r for r in records if r["type"] == "cell"]
    return [r["shown"] for r in cells], [r.get("formula") for r in cells]


def as_json_value(kind, value):
    """A cell-table value as the tool's JSON writes it."""
    if kind == "number":
        return json.loads(value)
    if kind == "bool":
        return {"TRUE": True, "FALSE": False}[value]
    return value


def test_cells_on_a_cluster_equal_the_tools_json_lines(client, tool, tmp_path):  # noqa: F811
    not_xls = tmp_path / "notes.xls"
    not_xls.write_text("just a text file named like a workbook\n")
    paths = workbooks() + [str(not_xls)]
    table = tables.cells(paths)
    assert table.npartitions == len(paths)
    got = table.compute()
    assert list(got.columns) == ["path", "sheet", "row", "col", "kind", "value", "number", "shown",
                                 "formula"]
    assert [str(t) for t in got.dtypes] == ["object", "object", "int64", "int64", "object",
                                            "object", "float64", "object", "object"]
    shown_differs = some_formula = False
    for path in paths:
        mine = got[got["path"] == path]
        want = tool_cells(tool, path)
        if want is None:
            with pytest.raises(cellsift.Error) as caught:
                cellsift.read(path)
            assert mine[["kind", "value", "row"]].values.tolist() == [
                ["error", str(caught.value), -1]]
            continue
        rows = [(s, r, c, k, as_json_value(k, v) if r >= 0 else v)
                for s, r, c, k, v in mine[["sheet", "row", "col", "kind", "value"]].values]
        assert rows == want, path
        cells = mine[mine["row"] >= 0]
        numeric = cells["kind"].isin(["number", "date"])
        assert cells["number"][~numeric].isna().all()
        numbers = cells[cells["kind"] == "number"]
        assert numbers["number"].tolist() == [float(v) for v in numbers["value"]]
        shown, formulas = tool_shown(tool, path)
        assert cells["shown"].tolist() == shown, path
        assert cells["formula"].tolist() == formulas, path
        some_formula = some_formula or any(formulas)
        shown_differs = shown_differs or (cells["shown"] != cells["value"]).any()
    assert shown_differs  # the shown column is not the stored value again
    assert some_formula


def test_cells_learn_nothing_from_the_files_until_computed(tmp_path):
    for i in range(3):
        shutil.copy(os.path.join(ROOT, "examples", "sample.xls"), tmp_path / ("b%d.xls" % i))
    lazy = tables.cells(str(tmp_path / "*.xls"))
    assert lazy.npartitions == 3
    missing = tables.cells([str(tmp_path / "gone.xls")])  # no error before it is computed
    assert missing.compute()["kind"].tolist() == ["error"]
    assert tables.cells(str(tmp_path / "none-*.xls")).compute().empty
    with pytest.raises(TypeError):
        tables.cells(b"*.xls")


def price_book(path, rows):
    b = make.Book()
    s = b.sheet("Prices")
    for col, title in enumerate(["item", "price", "day"]):
        b.text(s, 0, col, title)
    for row, (item, price, day) in enumerate(rows, start=1):
        b.text(s, row, 0, item)
        b.number(s, row, 1, price)
        b.number(s, row, 2, day, b.xf(14))
    b.write(path)


def test_frames_equal_pandas_concat_of_read_frame(client, tmp_path):  # noqa: F811
    books = [[("tea", 1.5, 45352), ("coffee", 3.25, 45353)], [("milk", 0.75, 45400)],
             [("bread", 2.0, 45401), ("salt", 0.5, 45402), ("rice", 1.25, 45403)]]
    paths = []
    for i, rows in enumerate(books):
        paths.append(str(tmp_path / ("prices-%d.xls" % i)))
        price_book(paths[-1], rows)
    stacked = tables.frames(paths, sheet="Prices")
    assert stacked.npartitions == 3
    want = pandas.concat([cellsift.read_frame(p, sheet="Prices").assign(path=p) for p in paths])
    want = want.assign(error=None)[["path", "item", "price", "day", "error"]]
    pandas.testing.assert_frame_equal(stacked.compute(), want)
    assert str(stacked.dtypes["day"]) == "datetime64[ns]"
    with pytest.raises(TypeError):
        tables.frames(paths, sheet=None)


def test_frames_record_a_file_they_cannot_read(client, tmp_path):  # noqa: F811
    not_xls = tmp_path / "a-notes.xls"
    not_xls.write_text("just a text file named like a workbook\n")
    good = str(tmp_path / "b-prices.xls")
    price_book(good, [("tea", 1.5, 45352), ("milk", 0.75, 45400)])
    paths = [str(not_xls), good, str(tmp_path / "c-gone.xls")]
    got = tables.frames(paths, sheet="Prices").compute()
    assert got["path"].tolist() == [paths[0], good, good, paths[2]]
    with pytest.raises(cellsift.Error) as unreadable:
        cellsift.read_frame(paths[0])
    assert got["error"].tolist()[:3] == [str(unreadable.value), None, None]
    assert "c-gone.xls" in got["error"].iloc[3]
    shown = tables.frames([good], sheet="Prices", values="shown").compute()
    assert shown["day"].tolist() == ["3/1/2024", "4/18/2024"]
    # A sheet no file has: every file is a record, the job ends well.
    missing = tables.frames([good, good], sheet="Nope").compute()
    assert missing.columns.tolist() == ["path", "error"] and missing["error"].str.contains("Nope").all()


def test_every_helper_takes_the_password_and_the_values(client, tmp_path):  # noqa: F811
    from test_encrypted import PLAIN
    if not os.environ.get("CELLSIFT_ENCRYPT"):
        pytest.skip("CELLSIFT_ENCRYPT names no built encrypt-workbook generator")
    locked = str(tmp_path / "locked.xls")
    subprocess.run([os.environ["CELLSIFT_ENCRYPT"], "rc4", "s3cret", PLAIN, locked], check=True)
    plain = tables.cells([PLAIN]).compute().drop(columns=["path"])
    pandas.testing.assert_frame_equal(
        tables.cells([locked], password="s3cret").compute().drop(columns=["path"]), plain)
    assert "password=" in tables.cells([locked]).compute()["value"].iloc[0]
    shown = tables.cells([locked], values="shown", password="s3cret").compute()
    assert shown["value"].tolist() == plain["shown"].tolist()
    [record] = tables.texts([locked], values="raw", password="s3cret").compute()
    assert record["text"] == cellsift.text(PLAIN, values="raw")
    [record] = tables.texts_from_bytes(locked, password="s3cret").compute()
    assert record["text"] == cellsift.text(PLAIN)
    frame = tables.frames([locked], password="s3cret").compute()
    pandas.testing.assert_frame_equal(frame.drop(columns=["path", "error"]), cellsift.read_frame(PLAIN))

# The texts of the test workbooks through a real two-process Dask cluster: every record equal
# to cellsift.text, and a file that is no workbook gives an error message, not a failed job.
import os
import pathlib
import warnings

import pytest

import cellsift
from conftest import ROOT, workbooks
from hostile import book

distributed = pytest.importorskip("distributed")
cellsift_dask = pytest.importorskip("cellsift.dask")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as c:
            yield c


def expected(path):
    """The record of one path as cellsift.text gives it, its warning taken apart again."""
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            text = cellsift.text(path)
        except cellsift.Error as exc:
            return {"path": path, "text": None, "error": str(exc), "warnings": []}
    messages = [str(w.message).split(": read in part: ", 1)[1].split("; ") for w in caught]
    return {"path": path, "text": text, "error": None, "warnings": messages[0] if messages else []}


def test_texts_on_a_cluster_equal_the_local_texts(client, tmp_path):
    not_xls = tmp_path / "notes.xls"
    not_xls.write_text("just a text file named like a workbook\n")
    paths = workbooks() + [str(not_xls)]
    got = cellsift_dask.texts(paths).compute()
    assert got == [expected(p) for p in paths]
    assert got[-1]["error"] and got[-1]["text"] is None
    raw = cellsift_dask.texts(paths[:3], values="raw").compute()
    assert [r["text"] for r in raw] == [cellsift.text(p, values="raw") for p in paths[:3]]
    with pytest.raises(ValueError):
        cellsift_dask.texts(paths, values="exact")


def test_texts_from_bytes_read_what_the_file_system_serves(client, tmp_path):
    for path in workbooks()[:6]:
        (tmp_path / os.path.basename(path)).write_bytes(open(path, "rb").read())
    got = sorted(cellsift_dask.texts_from_bytes(str(tmp_path / "*.xls")).compute(),
                 key=lambda r: r["path"])
    want = sorted((expected(str(p)) for p in tmp_path.glob("*.xls")), key=lambda r: r["path"])
    assert [(os.path.basename(r["path"]), r["text"], r["error"]) for r in got] == [
        (os.path.basename(r["path"]), r["text"], r["error"]) for r in want]


def test_a_glob_a_partial_read_and_a_huge_file_each_give_a_record(client, tmp_path):
    sample = pathlib.Path(ROOT, "examples", "sample.xls").read_bytes()
    (tmp_path / "a.xls").write_bytes(sample)
    (tmp_path / "b-cut.xls").write_bytes(sample[:3000])
    (tmp_path / "c-huge.xls").write_bytes(book(b"") + bytes(4000))
    os.truncate(tmp_path / "c-huge.xls", 64 << 30)
    (tmp_path / "notes.txt").write_text("not matched")
    got = cellsift_dask.texts(str(tmp_path / "*.xls")).compute()
    assert [os.path.basename(r["path"]) for r in got] == ["a.xls", "b-cut.xls", "c-huge.xls"]
    assert got[:2] == [expected(str(tmp_path / "a.xls")), expected(str(tmp_path / "b-cut.xls"))]
    assert got[0]["warnings"] == [] and got[1]["warnings"] and got[1]["error"] is None
    assert got[2]["text"] is None and "too large" in got[2]["error"]


@pytest.mark.parametrize("paths", [42, pathlib.Path("a.xls"), b"a.xls", None])
def test_paths_that_are_no_pattern_and_no_iterable_are_refused(paths):
    with pytest.raises(TypeError):
        cellsift_dask.texts(paths)


def test_texts_take_every_keyword_of_text(client, tmp_path):
    paths = [p for p in workbooks() if "poi-encrypted" not in p][:5]
    keywords = dict(format="html", sheet=1, notes=False, properties=False, values="raw")
    got = cellsift_dask.texts(paths, **keywords).compute()
    for path, record in zip(paths, got):
        try:
            assert record["text"] == cellsift.text(path, **keywords) and record["error"] is None
        except cellsift.NoSuchSheetError as exc:  # a workbook of one sheet: its record says so
            assert record == {"path": path, "text": None, "error": str(exc), "warnings": []}
    sample = os.path.join(ROOT, "examples", "sample.xls")
    (tmp_path / "sample.xls").write_bytes(pathlib.Path(sample).read_bytes())
    [record] = cellsift_dask.texts_from_bytes(str(tmp_path / "*.xls"), format="csv",
                                              sheet="Notes").compute()
    assert record["text"] == cellsift.text(sample, format="csv", sheet="Notes")
    for bad in (dict(format="xml"), dict(sheet=-1), dict(values="exact")):
        with pytest.raises((ValueError, TypeError)):
            cellsift_dask.texts(paths, **bad)

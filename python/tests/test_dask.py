# The texts of the test workbooks through a real two-process Dask cluster: every record equal
# to cellsift.text, and a file that is no workbook gives an error message, not a failed job.
import os

import pytest

import cellsift
from conftest import workbooks

distributed = pytest.importorskip("distributed")
cellsift_dask = pytest.importorskip("cellsift.dask")


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=None) as cluster:
        with distributed.Client(cluster) as c:
            yield c


def expected(path):
    try:
        return {"path": path, "text": cellsift.text(path), "error": None}
    except cellsift.Error as exc:
        return {"path": path, "text": None, "error": str(exc)}


def test_texts_on_a_cluster_equal_the_local_texts(client, tmp_path):
    not_xls = tmp_path / "notes.xls"
    not_xls.write_text("just a text file named like a workbook\n")
    paths = workbooks() + [str(not_xls)]
    got = cellsift_dask.texts(paths).compute()
    assert got == [expected(p) for p in paths]
    assert got[-1]["error"] and got[-1]["text"] is None


def test_texts_from_bytes_read_what_the_file_system_serves(client, tmp_path):
    for path in workbooks()[:6]:
        (tmp_path / os.path.basename(path)).write_bytes(open(path, "rb").read())
    got = sorted(cellsift_dask.texts_from_bytes(str(tmp_path / "*.xls")).compute(),
                 key=lambda r: r["path"])
    want = sorted((expected(str(p)) for p in tmp_path.glob("*.xls")), key=lambda r: r["path"])
    assert [(os.path.basename(r["path"]), r["text"], r["error"]) for r in got] == [
        (os.path.basename(r["path"]), r["text"], r["error"]) for r in want]

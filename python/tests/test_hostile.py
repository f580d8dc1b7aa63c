# The module on unusual and hostile input: the 1900 system's day that never was, paths the
# system cannot take, file errors as the OSError subclasses open() raises, partial reads as
# warnings, and a file the memory cannot hold as a cellsift.Error.
import datetime
import errno
import os
import pathlib
import warnings

import pytest

import cellsift
from conftest import ROOT
from hostile import book, number

SAMPLE = pathlib.Path(ROOT, "examples", "sample.xls").read_bytes()


def test_the_1900_systems_day_60_is_its_text():
    data = book(number(0, 0, 59.0) + number(0, 1, 60.0) + number(0, 2, 60.5) + number(0, 3, 61.0))
    assert list(cellsift.read(data).sheets[0].cells()) == [
        (0, 0, datetime.date(1900, 2, 28)), (0, 1, "1900-02-29"), (0, 2, "1900-02-29T12:00:00"),
        (0, 3, datetime.date(1900, 3, 1))]


def test_file_errors_are_what_open_raises(tmp_path):
    missing = tmp_path / "missing.xls"
    cases = [(missing, errno.ENOENT, FileNotFoundError, cellsift.MissingFileError),
             (tmp_path, errno.EISDIR, IsADirectoryError, cellsift.FolderError)]
    if os.geteuid() != 0:
        forbidden = tmp_path / "forbidden.xls"
        forbidden.write_bytes(SAMPLE)
        forbidden.chmod(0)
        cases.append((forbidden, errno.EACCES, PermissionError, cellsift.FilePermissionError))
    for path, number_, builtin, ours in cases:
        for call in (cellsift.text, cellsift.read):
            for source in (path, str(path)):
                with pytest.raises(builtin) as caught:
                    call(source)
                exc = caught.value
                assert type(exc) is ours and isinstance(exc, cellsift.FileError), type(exc)
                assert (exc.errno, exc.filename) == (number_, str(path))
                assert str(exc) == "%s: %s" % (path, os.strerror(number_))


def test_a_path_with_a_nul_is_refused_as_open_refuses_it(tmp_path):
    (tmp_path / "a").write_bytes(SAMPLE)
    # Cut at the NUL the path would name the file "a", which exists.
    for source in (str(tmp_path / "a\0b.xls"), pathlib.Path(str(tmp_path / "a\0.xls"))):
        with pytest.raises(ValueError):
            open(source, "rb")
        for call in (cellsift.text, cellsift.read):
            with pytest.raises(ValueError, match="null"):
                call(source)


def test_a_partial_read_warns_and_a_whole_one_does_not(tmp_path):
    cut = tmp_path / "cut.xls"
    cut.write_bytes(SAMPLE[:3000])
    for call in (cellsift.text, cellsift.read):
        with pytest.warns(cellsift.PartialReadWarning, match=r"cut\.xls: read in part: ") as caught:
            call(cut)
        assert len(caught) == 1
        with pytest.warns(cellsift.PartialReadWarning, match=r"^<bytes>: read in part: "):
            call(SAMPLE[:3000])
    with pytest.warns(cellsift.PartialReadWarning):
        book_ = cellsift.read(cut)
    assert book_.warnings
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        cellsift.text(SAMPLE)
        cellsift.read(SAMPLE)


def test_a_file_the_memory_cannot_hold_is_a_cellsift_error(tmp_path):
    huge = tmp_path / "huge.xls"
    huge.write_bytes(book(b"") + bytes(4000))
    os.truncate(huge, 64 << 30)
    for call in (cellsift.text, cellsift.read):
        with pytest.raises(cellsift.Error) as caught:
            call(huge)
        assert not isinstance(caught.value, MemoryError)
        assert "too large" in str(caught.value)

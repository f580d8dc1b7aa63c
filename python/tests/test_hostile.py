# The module on unusual and hostile input: the 1900 system's day that never was, paths and
# passwords the system cannot take, file errors as the OSError subclasses open() raises, partial
# reads as warnings, a file the memory cannot hold as a cellsift.Error, and a mapped file that
# another program rewrites or cuts while it is read.
import datetime
import errno
import os
import pathlib
import subprocess
import sys
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


def file_error_case(tmp_path, case):
    """The path for one kind of file error, with the errno the system gives for it."""
    if case == "missing":
        return tmp_path / "missing.xls", errno.ENOENT
    if case == "folder":
        return tmp_path, errno.EISDIR
    if case == "forbidden":
        if os.geteuid() == 0:
            pytest.skip("root reads a file whatever its mode: no permission error to see")
        forbidden = tmp_path / "forbidden.xls"
        forbidden.write_bytes(SAMPLE)
        forbidden.chmod(0)
        return forbidden, errno.EACCES
    # A file where a folder should be: an errno with no subclass of its own.
    (tmp_path / "file").write_bytes(SAMPLE)
    return tmp_path / "file" / "book.xls", errno.ENOTDIR


@pytest.mark.parametrize("case, builtin, ours", [
    ("missing", FileNotFoundError, cellsift.MissingFileError),
    ("folder", IsADirectoryError, cellsift.FolderError),
    ("forbidden", PermissionError, cellsift.FilePermissionError),
    ("below a file", OSError, cellsift.FileError),
])
def test_file_errors_are_what_open_raises(tmp_path, case, builtin, ours):
    path, number_ = file_error_case(tmp_path, case)
    with pytest.raises(builtin) as opened:
        open(path, "rb").close()
    assert opened.value.errno == number_
    for call in (cellsift.text, cellsift.read):
        for source in (path, str(path)):
            with pytest.raises(builtin) as caught:
                call(source)
            exc = caught.value
            # The system's number itself, as open() gives it, not one read back from its text.
            assert type(exc) is ours and isinstance(exc, cellsift.FileError), type(exc)
            assert (exc.errno, exc.strerror, exc.filename) == (number_, os.strerror(number_), str(path))
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


def test_a_password_with_a_nul_is_refused_not_cut(tmp_path):
    generator = os.environ.get("CELLSIFT_ENCRYPT")
    if not generator:
        pytest.skip("CELLSIFT_ENCRYPT names no built encrypt-workbook generator")
    path = tmp_path / "rc4.xls"
    subprocess.run([generator, "rc4", "pass", os.path.join(ROOT, "tests", "data", "lo-mixed.xls"), str(path)],
                   check=True)
    assert cellsift.text(path, password="pass")
    # Cut at the NUL the password would be "pass", which opens it.
    for call in (cellsift.text, cellsift.read, cellsift.read_frame):
        for source in (path, path.read_bytes()):
            with pytest.raises(ValueError, match="null"):
                call(source, password="pass\0junk")


def column_book(value, rows=40000, cols=1):
    """Over 512 KiB, so that the module maps the file rather than read it."""
    return book(b"".join(number(r, c, value) for r in range(rows) for c in range(cols)))


def write_long_ago(path, data):
    # A rewrite within the clock tick of the file's last write keeps its times, and goes unseen.
    path.write_bytes(data)
    os.utime(path, (946684800, 946684800))


def test_a_mapped_file_rewritten_after_read_fails_rather_than_mix(tmp_path):
    path = tmp_path / "big.xls"
    write_long_ago(path, column_book(1.25))
    book_ = cellsift.read(path)
    first, value = book_[0].to_pandas(header=None), book_[0].cell(0, 0)
    path.write_bytes(column_book(2.75))
    assert path.stat().st_size == len(column_book(1.25))
    with pytest.raises(cellsift.FileError, match="^the file was changed by another program"):
        book_[0].to_pandas(header=None)
    assert book_[0].cell(39999, 0) == value
    assert first.iloc[:, 0].tolist() == [value] * 40000


GUARDED = """
import faulthandler, os, sys, threading, time
import cellsift
path, data = sys.argv[1], open(sys.argv[1], "rb").read()
start = time.perf_counter()
cellsift.text(path)  # the first mapping installs the guard
took = time.perf_counter() - start
cut = 0
# The cut is timed, so it may land before or after a read: try until three landed inside one.
for attempt in range(240):
    if cut >= 3:
        break
    with open(path, "wb") as f:
        f.write(data)
    faulthandler.disable()
    faulthandler.enable()  # in front of the guard again
    cutter = threading.Timer(took * (0.1 + attempt % 20 / 20), os.truncate, (path, 4096))
    cutter.start()
    try:
        cellsift.text(path)
    except cellsift.FileError as exc:
        cut += "cut short" in str(exc)
    cutter.join()
print(cut)
"""


def test_a_fault_reporter_installed_later_does_not_unguard_a_cut_file(tmp_path):
    path = tmp_path / "big.xls"
    path.write_bytes(column_book(1.25, 40000, 8))
    done = subprocess.run([sys.executable, "-c", GUARDED, str(path)], stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, timeout=120)
    assert done.returncode == 0, done.stderr.decode(errors="replace")[-2000:]
    # At least one cut landed inside a read, whose guard then took the fault.
    assert int(done.stdout) >= 1, done.stdout
